#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rnt::ui {

// The kinds of control on the message form.
enum class ControlKind { kCommandButton, kPictureBox, kLabel, kImage, kTextBox };

// One control of the message form as it stands now.
struct Control {
  std::string name;
  ControlKind kind;
  std::string caption;  // button and label captions; empty for the others
  bool visible = true;
};

// Key codes of the key-down events the form answers.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyEscape = 27;

// The add-on's one window: a small modal message box that tells the user why
// a rent date was refused. This is the form's model (controls, captions,
// visibility, load and unload, events); presenters draw it and feed it the
// user's clicks and keys.
//
// Referring to the form or to any of its controls loads it with its design
// settings, then runs its load event, so that a caller's own settings made
// afterwards win. Closing it unloads it; the next reference loads it afresh.
// References to controls stay valid for the life of the model, across
// reloads; they then see the reloaded settings.
class FrmError {
 public:
  FrmError() = default;

  static constexpr std::string_view kDesignCaption = "Form3";

  bool loaded() const { return loaded_; }
  // Loads the form if it is not loaded.
  void Load();
  void Unload();

  // The window caption; refers to the form.
  const std::string& caption();
  // A control by name (letter case ignored); refers to the form. Throws
  // rnt::Error for a name that is not a control of the form.
  Control& control(std::string_view name);
  // The controls in their tab order; refers to the form.
  const std::vector<Control>& controls();

  // Events. OK, a click on Image1, Escape on the form and Enter in Text1
  // unload the form; other keys (Escape in Text1 among them) do nothing, and
  // no event does anything while the form is not loaded.
  void ClickOkButton();
  void ClickImage1();
  void KeyDownOnForm(int key_code);
  void KeyDownInText1(int key_code);

 private:
  bool loaded_ = false;
  std::string caption_;
  std::vector<Control> controls_;
};

}  // namespace rnt::ui
