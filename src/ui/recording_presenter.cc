#include "ui/recording_presenter.h"

#include <algorithm>

#include "rnt/error.h"
#include "ui/frm_error.h"

namespace rnt::ui {

namespace {

std::string_view ActionName(CloseAction action) {
  switch (action) {
    case CloseAction::kOkClick:
      return "a click on OK";
    case CloseAction::kEnterInText1:
      return "Enter in Text1";
    case CloseAction::kEscape:
      return "Escape on the form";
    case CloseAction::kImage1Click:
      return "a click on Image1";
  }
  return "an unknown action";
}

}  // namespace

bool FormSnapshot::IsVisible(std::string_view control) const {
  return std::ranges::find(visible_controls, control) != visible_controls.end();
}

void RecordingPresenter::Show(FrmError& form) {
  FormSnapshot snapshot{
      form.caption(), form.control("Capti").caption, form.control("lblMessage").caption, {}};
  for (const Control& control : form.controls()) {
    if (control.visible) snapshot.visible_controls.push_back(control.name);
  }
  shown_.push_back(std::move(snapshot));

  switch (close_) {
    case CloseAction::kOkClick:
      form.ClickOkButton();
      break;
    case CloseAction::kEnterInText1:
      form.KeyDownInText1(kKeyEnter);
      break;
    case CloseAction::kEscape:
      form.KeyDownOnForm(kKeyEscape);
      break;
    case CloseAction::kImage1Click:
      form.ClickImage1();
      break;
  }
  if (form.loaded()) {
    throw Error("the message form stayed open after " + std::string(ActionName(close_)));
  }
}

}  // namespace rnt::ui
