// The message form: its controls and closing events, and the terminal presenter
// that shows it.
#include "ui/frm_error.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "rnt/error.h"
#include "ui/terminal_presenter.h"

namespace rnt::ui {
namespace {

TEST(FrmErrorTest, FirstReferenceLoadsDesignThenRunsTheLoadEventAndAReloadStartsAfresh) {
  FrmError form;
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(form.caption(), "Form3");
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(form.control("OKButton").caption, "OK");
  // The load event clears the design captions and shows the text box.
  EXPECT_EQ(form.control("lblMessage").caption, "");
  EXPECT_EQ(form.control("Capti").caption, "");
  EXPECT_TRUE(form.control("Text1").visible);
  EXPECT_FALSE(form.control("ImgStop").visible);
  // Controls are found whatever the letter case; unknown names are refused.
  EXPECT_EQ(&form.control("lblmessage"), &form.control("LBLMESSAGE"));
  EXPECT_THAT([&] { form.control("Text2"); },
              ::testing::ThrowsMessage<Error>(
                  ::testing::StrEq("the message form has no control named 'Text2'")));

  // Caller settings win until the form is unloaded: later references do not
  // run the load event again, and a reload starts from the design.
  Control& message = form.control("lblMessage");
  message.caption = "first";
  form.control("ImgStop").visible = true;
  form.control("Text1").visible = false;
  EXPECT_EQ(form.control("lblMessage").caption, "first");
  EXPECT_FALSE(form.control("Text1").visible);
  form.ClickOkButton();
  EXPECT_EQ(form.caption(), "Form3");  // this reference loads the form afresh
  EXPECT_EQ(message.caption, "");      // the old reference sees the reloaded form
  EXPECT_FALSE(form.control("ImgStop").visible);
  EXPECT_TRUE(form.control("Text1").visible);
}

TEST(FrmErrorTest, EachClosingEventUnloadsTheFormAndOtherKeysDoNot) {
  const std::pair<const char*, void (*)(FrmError&)> closers[] = {
      {"OK click", [](FrmError& f) { f.ClickOkButton(); }},
      {"Image1 click", [](FrmError& f) { f.ClickImage1(); }},
      {"Escape on the form", [](FrmError& f) { f.KeyDownOnForm(kKeyEscape); }},
      {"Enter in Text1", [](FrmError& f) { f.KeyDownInText1(kKeyEnter); }},
  };
  for (const auto& [name, close] : closers) {
    FrmError form;
    form.Load();
    close(form);
    EXPECT_FALSE(form.loaded()) << name;
    // An event on an unloaded form does not load it again.
    close(form);
    EXPECT_FALSE(form.loaded()) << name;
  }

  FrmError form;
  form.control("lblMessage").caption = "Rent already calculated";
  form.KeyDownOnForm(kKeyEnter);
  form.KeyDownOnForm('A');
  form.KeyDownInText1(kKeyEscape);
  form.KeyDownInText1('A');
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(form.control("lblMessage").caption, "Rent already calculated");
}

// In a script, a moment in which the user types nothing.
constexpr char kPause = '\xff';

// A terminal keyboard that types a script and tells what the presenter did with it.
struct ScriptedKeyboard : KeyboardInput {
  explicit ScriptedKeyboard(std::string keys) : script(std::move(keys)) {}
  bool IsTerminal() const override { return true; }
  void EnterRawMode() override { raw = ++raw_entries > 0; }
  void LeaveRawMode() override { raw = false; }
  Reading Read(std::optional<std::chrono::milliseconds> wait) override {
    if (fail_reads) throw Error("the keyboard broke");
    while (position < script.size()) {
      const char c = script[position++];
      if (c != kPause) return {Status::kByte, static_cast<unsigned char>(c)};
      if (wait) return {Status::kTimedOut};
    }
    return {Status::kEnded};
  }

  std::string script;
  size_t position = 0;
  bool raw = false, fail_reads = false;
  int raw_entries = 0;
};

TEST(TerminalPresenterTest, RenderKeepsTheFrameWholeForAnyCaption) {
  FrmError form;
  const std::string wrapped = " and some words to wrap at a space " + std::string(40, 'y');
  form.control("lblMessage").caption =
      "Party \x1b[31mred\r\nsecond line ₹ " + std::string(100, 'x') + wrapped;
  form.control("ImgStop").visible = true;
  const std::vector<std::string> lines = TerminalPresenter::Render(form);
  // Display columns of a line: one per character.
  const auto columns = [](const std::string& line) {
    return std::ranges::count_if(line, [](unsigned char c) { return (c & 0xc0) != 0x80; });
  };
  std::string all;
  for (const std::string& line : lines) {
    EXPECT_EQ(columns(line), columns(lines.front())) << line;
    EXPECT_TRUE(line.front() == '|' || line.front() == '+') << line;
    all += line + "\n";
  }
  EXPECT_EQ(all.find('\x1b'), std::string::npos) << "a control byte reached the terminal";
  EXPECT_NE(all.find("| Party ?[31mred "), std::string::npos) << all;
  EXPECT_NE(all.find("| second line ₹ "), std::string::npos) << all;
  EXPECT_NE(all.find(" " + std::string(40, 'y') + " "), std::string::npos) << all;

  form.control("ImgStop").visible = false;
  for (const std::string& line : TerminalPresenter::Render(form))
    EXPECT_EQ(line.find("[STOP]"), std::string::npos);
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
    EXPECT_EQ(keys.script.substr(keys.position), c.rest) << c.name;
    EXPECT_EQ(keys.raw_entries, 1) << c.name;
    EXPECT_FALSE(keys.raw) << c.name;
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
