#include "ui/frm_error.h"

#include <algorithm>
#include <cctype>

#include "rnt/error.h"

namespace rnt::ui {

namespace {

// The form as it was designed: controls in tab order with their design
// captions and visibility. The marking pictures start hidden, so that a caller
// that makes one visible changes what the user sees; Text1 starts hidden and
// the load event shows it.
std::vector<Control> DesignControls() {
  return {
      {"OKButton", ControlKind::kCommandButton, "OK", true},
      {"Picture1", ControlKind::kPictureBox, "", true},
      {"Capti", ControlKind::kLabel, "Capti", true},
      {"Image1", ControlKind::kImage, "", true},
      {"Text1", ControlKind::kTextBox, "", false},
      {"ImgStop", ControlKind::kImage, "", false},
      {"ImgSmile", ControlKind::kImage, "", false},
      {"ImgCry", ControlKind::kImage, "", false},
      {"ImgAutoNo", ControlKind::kImage, "", false},
      {"lblMessage", ControlKind::kLabel, "Message", true},
  };
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

void FrmError::Load() {
  if (loaded_) return;
  caption_ = std::string(kDesignCaption);
  std::vector<Control> design = DesignControls();
  if (controls_.size() == design.size()) {
    // Element by element, so that references to controls stay valid across a
    // reload.
    std::ranges::copy(design, controls_.begin());
  } else {
    controls_ = std::move(design);
  }
  loaded_ = true;

  // The load event: the captions are the caller's to set, and the text box is
  // where Enter closes the form.
  control("Capti").caption.clear();
  control("lblMessage").caption.clear();
  control("Text1").visible = true;
}

void FrmError::Unload() { loaded_ = false; }

const std::string& FrmError::caption() {
  Load();
  return caption_;
}

Control& FrmError::control(std::string_view name) {
  Load();
  auto it = std::ranges::find_if(
      controls_, [name](const Control& c) { return SameNameIgnoringCase(c.name, name); });
  if (it == controls_.end()) {
    throw Error("the message form has no control named '" + std::string(name) + "'");
  }
  return *it;
}

const std::vector<Control>& FrmError::controls() {
  Load();
  return controls_;
}

void FrmError::ClickOkButton() {
  if (loaded_) Unload();
}

void FrmError::ClickImage1() {
  if (loaded_) Unload();
}

void FrmError::KeyDownOnForm(int key_code) {
  if (loaded_ && key_code == kKeyEscape) Unload();
}

void FrmError::KeyDownInText1(int key_code) {
  if (key_code == kKeyEnter) ClickOkButton();
}

}  // namespace rnt::ui
