#pragma once

#include <string>
#include <vector>

#include "rnt/windowing.h"
#include "ui/recording_presenter.h"

namespace rnt::platform {

// A windowing for tests: it records every call as a readable event ("yield",
// "pointer 11", "sleep 4000", "show Invalid Data !!" with the form's title
// line), pauses without waiting, and shows forms through a recording
// presenter, which closes them.
class RecordingWindowing : public Windowing {
 public:
  void Yield() override;
  void SetMousePointer(int pointer) override;
  void Sleep(int milliseconds) override;
  void ShowModal(ui::FrmError& form) override;

  const std::vector<std::string>& events() const { return events_; }
  // The mouse pointer last set; the default pointer before any.
  int pointer() const { return pointer_; }
  ui::RecordingPresenter& presenter() { return presenter_; }
  const ui::RecordingPresenter& presenter() const { return presenter_; }

 private:
  std::vector<std::string> events_;
  int pointer_ = kDefaultPointer;
  ui::RecordingPresenter presenter_;
};

}  // namespace rnt::platform
