#pragma once

#include <memory>

namespace rnt::ui {
class FrmError;
}

namespace rnt::platform {

// The screen mouse pointer codes that Start uses.
inline constexpr int kDefaultPointer = 0;
inline constexpr int kHourglassPointer = 11;

// The window system as the add-on uses it: yielding to the host's message
// loop, the mouse pointer, a pause, and showing its one form modally. Hosts
// and tests install their own; the default yields nothing, remembers the
// pointer, really sleeps and shows the form on the terminal.
class Windowing {
 public:
  virtual ~Windowing() = default;
  // Lets the host process pending window messages once.
  virtual void Yield() = 0;
  virtual void SetMousePointer(int pointer) = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Shows the form and returns when it has been unloaded.
  virtual void ShowModal(ui::FrmError& form) = 0;
};

// The default windowing of a host without a window system of its own.
std::shared_ptr<Windowing> MakeDefaultWindowing();

}  // namespace rnt::platform
