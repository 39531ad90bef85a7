#include "ui/terminal_presenter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "rnt/error.h"
#include "ui/frm_error.h"

namespace rnt::ui {
namespace {

// In a script, a moment in which the user types nothing.
constexpr char kPause = '\xff';

// A terminal keyboard that types a script and tells what the presenter did with it.
class ScriptedKeyboard : public KeyboardInput {
 public:
  explicit ScriptedKeyboard(std::string script) : script_(std::move(script)) {}

  bool IsTerminal() const override { return true; }
  void EnterRawMode() override { raw_ = ++raw_entries_ > 0; }
  void LeaveRawMode() override { raw_ = false; }
  Reading Read(std::optional<std::chrono::milliseconds> wait) override {
    if (fail_reads) throw Error("the keyboard broke");
    while (position_ < script_.size()) {
      const char c = script_[position_++];
      if (c != kPause) return {Status::kByte, static_cast<unsigned char>(c)};
      if (wait) return {Status::kTimedOut};
    }
    return {Status::kEnded};
  }

  std::string unread() const { return script_.substr(position_); }
  bool raw() const { return raw_; }
  int raw_entries() const { return raw_entries_; }
  bool fail_reads = false;

 private:
  std::string script_;
  size_t position_ = 0;
  bool raw_ = false;
  int raw_entries_ = 0;
};

// Display columns of a line: one per character.
size_t Columns(const std::string& line) {
  size_t columns = 0;
  for (unsigned char c : line) columns += (c & 0xc0) != 0x80;
  return columns;
}

TEST(TerminalPresenterTest, RenderKeepsTheFrameWholeForAnyCaption) {
  FrmError form;
  const std::string wrapped = " and some words to wrap at a space " + std::string(40, 'y');
  form.control("lblMessage").caption =
      "Party \x1b[31mred\r\nsecond line ₹ " + std::string(100, 'x') + wrapped;
  form.control("ImgStop").visible = true;
  const std::vector<std::string> lines = TerminalPresenter::Render(form);
  std::string all;
  for (const std::string& line : lines) {
    EXPECT_EQ(Columns(line), Columns(lines.front())) << line;
    EXPECT_TRUE(line.front() == '|' || line.front() == '+') << line;
    all += line + "\n";
  }
  EXPECT_EQ(all.find('\x1b'), std::string::npos) << "a control byte reached the terminal";
  EXPECT_NE(all.find("| Party ?[31mred "), std::string::npos) << all;
  EXPECT_NE(all.find("| second line ₹ "), std::string::npos) << all;
  EXPECT_NE(all.find(" " + std::string(40, 'y') + " "), std::string::npos) << all;

  form.control("ImgStop").visible = false;
  for (const std::string& line : TerminalPresenter::Render(form)) {
    EXPECT_EQ(line.find("[STOP]"), std::string::npos);
  }
}

TEST(TerminalPresenterTest, KeysOnATerminalAndRawModeLeftOnEveryWayOut) {
  struct Case {
    const char* name;
    std::string typed;  // the keys up to the one that closes the form
    std::string rest;   // keys typed afterwards, which stay unread
    bool fail_reads = false;
  };
  const Case cases[] = {
      {"Enter after other keys", "ab\r", "zz"},
      {"line feed as Enter", "\n", "zz"},
      {"a lone Escape", std::string("\x1b") + kPause, "zz"},
      {"Escape followed by a key", "\x1bq", "zz"},
      {"arrows and function keys do not close", "\x1b[A\x1bOB\x1b[1;5C\x1b[15~x\r", "zz"},
      {"Ctrl-C", "\x03", "zz"},
      {"end of input, with nobody left to close it", "abc", ""},
      {"a keyboard that fails", "", "\r", true},
  };
  for (const Case& c : cases) {
    auto keyboard = std::make_unique<ScriptedKeyboard>(c.typed + c.rest);
    ScriptedKeyboard& keys = *keyboard;
    keys.fail_reads = c.fail_reads;
    std::ostringstream out;
    TerminalPresenter presenter(std::move(keyboard), out);
    FrmError form;
    if (c.fail_reads) {
      EXPECT_THROW(presenter.Show(form), Error);
    } else {
      presenter.Show(form);
      EXPECT_FALSE(form.loaded()) << c.name;
    }
    EXPECT_EQ(keys.unread(), c.rest) << c.name;
    EXPECT_EQ(keys.raw_entries(), 1) << c.name;
    EXPECT_FALSE(keys.raw()) << c.name;
  }
}

TEST(FdKeyboardInputTest, RealTerminalIsMadeRawAndRestored) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    if (master >= 0) close(master);
    GTEST_SKIP() << "no pseudo-terminals here";
  }
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios before{};
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);

  // The user types once the box is up: an arrow key, then Enter.
  std::thread user([&] {
    termios now{};
    for (int i = 0; i < 500; ++i) {
      if (tcgetattr(slave, &now) == 0 && !(now.c_lflag & ICANON)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string keys = "\x1b[A\r";
    EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  });
  std::ostringstream out;
  TerminalPresenter presenter(std::make_unique<FdKeyboardInput>(slave), out);
  FrmError form;
  presenter.Show(form);
  user.join();

  EXPECT_FALSE(form.loaded());
  termios after{};
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
  close(slave);
  close(master);
}

}  // namespace
}  // namespace rnt::ui
