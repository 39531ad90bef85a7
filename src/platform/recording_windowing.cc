#include "platform/recording_windowing.h"

#include "ui/frm_error.h"

namespace rnt::platform {

void RecordingWindowing::Yield() { events_.push_back("yield"); }

void RecordingWindowing::SetMousePointer(int pointer) {
  pointer_ = pointer;
  events_.push_back("pointer " + std::to_string(pointer));
}

void RecordingWindowing::Sleep(int milliseconds) {
  events_.push_back("sleep " + std::to_string(milliseconds));
}

void RecordingWindowing::ShowModal(ui::FrmError& form) {
  // The title is read before the show, which closes the form.
  events_.push_back("show " + form.control("Capti").caption);
  presenter_.Show(form);
}

}  // namespace rnt::platform
