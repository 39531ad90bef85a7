#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rnt::ui {

class FrmError;

// The message form as it stood when a presenter was asked to show it.
struct FormSnapshot {
  std::string caption;                        // the window caption
  std::string title;                          // the caption of Capti
  std::string message;                        // the caption of lblMessage
  std::vector<std::string> visible_controls;  // names, in tab order

  bool IsVisible(std::string_view control) const;
};

// How a recording presenter closes the form it was shown.
enum class CloseAction { kOkClick, kEnterInText1, kEscape, kImage1Click };

// A presenter for tests: it remembers every form it is asked to show, then
// closes the form the way a user would, by a chosen action. A form that the
// action leaves loaded is a fault, reported as an rnt::Error rather than a
// modal show that never returns.
class RecordingPresenter {
 public:
  explicit RecordingPresenter(CloseAction close = CloseAction::kOkClick) : close_(close) {}

  void set_close_action(CloseAction close) { close_ = close; }

  // Records the form (which refers to it) and closes it.
  void Show(FrmError& form);

  const std::vector<FormSnapshot>& shown() const { return shown_; }

 private:
  CloseAction close_;
  std::vector<FormSnapshot> shown_;
};

}  // namespace rnt::ui
