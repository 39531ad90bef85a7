#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <termios.h>

namespace rnt::ui {

class FrmError;

// The keyboard a presenter reads: bytes as the user types them. The terminal
// is one; tests supply their own.
class KeyboardInput {
 public:
  enum class Status { kByte, kTimedOut, kEnded };
  struct Reading {
    Status status;
    unsigned char byte = 0;
  };

  virtual ~KeyboardInput() = default;
  // True when a user types on it; false for a file or a pipe, which nobody
  // answers a question on.
  virtual bool IsTerminal() const = 0;
  // Raw mode hands over every key at once, unechoed, with no signal keys.
  virtual void EnterRawMode() = 0;
  virtual void LeaveRawMode() = 0;
  // The next byte; with a wait, kTimedOut when none came within it. kEnded
  // when the input is closed.
  virtual Reading Read(std::optional<std::chrono::milliseconds> wait) = 0;
};

// The keyboard behind a file descriptor, normally standard input.
class FdKeyboardInput : public KeyboardInput {
 public:
  explicit FdKeyboardInput(int fd) : fd_(fd) {}

  bool IsTerminal() const override;
  void EnterRawMode() override;
  void LeaveRawMode() override;
  Reading Read(std::optional<std::chrono::milliseconds> wait) override;

 private:
  int fd_;
  std::optional<termios> saved_;  // the settings raw mode replaced
};

// Shows the message form on a text terminal: a framed box with the window
// caption, the title line, the message, the visible marking pictures and the
// OK button. Enter answers as Enter in Text1 and Escape (or Ctrl-C, which
// raw mode turns into a plain key) as Escape on the form; other keys do
// nothing. Without a terminal to ask, the box is printed once and the form is
// closed as if OK were clicked, so that unattended runs never wait.
class TerminalPresenter {
 public:
  TerminalPresenter(std::unique_ptr<KeyboardInput> input, std::ostream& out);

  // Returns when the form has been unloaded. The terminal leaves raw mode on
  // every way out, exceptions included.
  void Show(FrmError& form);

  // The box lines of the form as it stands; refers to the form.
  static std::vector<std::string> Render(FrmError& form);

  // How long the rest of an escape sequence (an arrow key, say) may take to
  // follow its Escape byte before the Escape counts as the Escape key.
  static constexpr std::chrono::milliseconds kEscapeSequenceWait{50};

 private:
  void HandleKey(FrmError& form, unsigned char byte);
  void HandleEscape(FrmError& form);

  std::unique_ptr<KeyboardInput> input_;
  std::ostream& out_;
};

}  // namespace rnt::ui
