#include "cli/status_line.h"

#include <sys/ioctl.h>

#include <algorithm>

namespace rnt::cli {
namespace {

constexpr size_t kWidestBar = 30;
constexpr size_t kNarrowestBar = 5;

}  // namespace

StatusLine::StatusLine(int fd) : fd_(fd), terminal_(isatty(fd) != 0) {}

void StatusLine::SetMark(std::optional<char> mark) {
  std::lock_guard lock(mutex_);
  mark_ = mark;
  Draw();
}

void StatusLine::SetProgress(std::optional<std::pair<size_t, size_t>> done_of_total,
                             const std::string& after_bar) {
  std::lock_guard lock(mutex_);
  progress_ = done_of_total;
  after_bar_ = after_bar;
  Draw();
}

void StatusLine::Clear() {
  std::lock_guard lock(mutex_);
  Write("\r\033[K");
}

std::string StatusLine::Fitted(size_t width) const {
  std::string line = mark_ ? std::string(1, *mark_) + " " : "";
  if (progress_) {
    const auto [done, total] = *progress_;
    // The bar takes what the words leave of the line, within its bounds.
    const size_t words = line.size() + after_bar_.size() + 3;
    const size_t cells = std::min(kWidestBar, width > words ? width - words : 0);
    if (cells >= kNarrowestBar && total > 0) {
      const size_t filled = cells * std::min(done, total) / total;
      line += "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] ";
    }
    line += after_bar_;
  } else if (mark_) {
    line += "calculating rent ...";
  }
  if (line.size() > width) line.resize(width);
  return line;
}

void StatusLine::Draw() {
  if (!terminal_) return;
  winsize size{};
  const size_t columns = ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  // The last column is left free: a terminal that writes there may move on
  // to the next line.
  Write("\r" + Fitted(columns - 1) + "\033[K");
}

void StatusLine::Write(const std::string& text) const {
  if (!terminal_) return;
  for (size_t written = 0; written < text.size();) {
    const ssize_t n = write(fd_, text.data() + written, text.size() - written);
    if (n <= 0) return;  // a terminal gone away takes the status with it
    written += static_cast<size_t>(n);
  }
}

}  // namespace rnt::cli
