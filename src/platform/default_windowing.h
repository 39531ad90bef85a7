#pragma once

#include <iosfwd>

#include "rnt/windowing.h"
#include "ui/terminal_presenter.h"

namespace rnt::platform {

// The windowing of a host without a window system: there is no message loop
// to yield to, the mouse pointer is only remembered (a terminal program may
// show it as a busy sign), pauses really pause, and the form is shown on the
// terminal.
class DefaultWindowing : public Windowing {
 public:
  // Shows forms on standard input and output.
  DefaultWindowing();
  DefaultWindowing(std::unique_ptr<ui::KeyboardInput> input, std::ostream& out);

  void Yield() override {}
  void SetMousePointer(int pointer) override { pointer_ = pointer; }
  // Throws rnt::Error for a negative time.
  void Sleep(int milliseconds) override;
  void ShowModal(ui::FrmError& form) override;

  // The mouse pointer last set; the default pointer before any.
  int pointer() const { return pointer_; }

 private:
  int pointer_ = kDefaultPointer;
  ui::TerminalPresenter presenter_;
};

}  // namespace rnt::platform
