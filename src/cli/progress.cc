#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>

namespace rnt::cli {

Progress::Progress(size_t total, std::ostream& terminal)
    : total_(total),
      terminal_(terminal),
      shown_(isatty(STDERR_FILENO) != 0 && total > 0),
      started_(std::chrono::steady_clock::now()) {
  Draw();
}

void Progress::Advance() {
  ++done_;
  Draw();
}

void Progress::Clear() {
  if (shown_) terminal_ << "\r\033[K" << std::flush;
}

void Progress::Draw() {
  if (!shown_ || done_ >= total_) return;
  constexpr size_t kWidth = 30;
  size_t filled = kWidth * done_ / total_;
  std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
                     std::to_string(done_) + "/" + std::to_string(total_) + " parties";
  if (done_ > 0) {
    auto elapsed = std::chrono::steady_clock::now() - started_;
    auto left =
        std::chrono::duration_cast<std::chrono::seconds>(elapsed * (total_ - done_) / done_);
    line += ", about " + std::to_string(std::max<long>(1, left.count())) + " s left";
  }
  terminal_ << line << "\033[K" << std::flush;
}

}  // namespace rnt::cli
