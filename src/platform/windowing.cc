#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "platform/default_windowing.h"
#include "rnt/error.h"

namespace rnt::platform {

DefaultWindowing::DefaultWindowing()
    : DefaultWindowing(std::make_unique<ui::FdKeyboardInput>(STDIN_FILENO), std::cout) {}

DefaultWindowing::DefaultWindowing(std::unique_ptr<ui::KeyboardInput> input, std::ostream& out)
    : presenter_(std::move(input), out) {}

void DefaultWindowing::Sleep(int milliseconds) {
  if (milliseconds < 0) {
    throw Error("cannot pause for a negative time: " + std::to_string(milliseconds) + " ms");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void DefaultWindowing::ShowModal(ui::FrmError& form) { presenter_.Show(form); }

std::shared_ptr<Windowing> MakeDefaultWindowing() { return std::make_shared<DefaultWindowing>(); }

}  // namespace rnt::platform
