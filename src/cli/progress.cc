#include "cli/progress.h"

#include <algorithm>
#include <string>

namespace rnt::cli {

Progress::Progress(size_t total, StatusLine& status)
    : total_(total), status_(status), started_(std::chrono::steady_clock::now()) {
  Draw();
}

Progress::~Progress() { status_.SetProgress(std::nullopt); }

void Progress::Advance() {
  ++done_;
  Draw();
}

void Progress::Draw() {
  if (!status_.shown()) return;
  if (done_ >= total_) {
    status_.SetProgress(std::nullopt);
    return;
  }
  std::string words = std::to_string(done_) + "/" + std::to_string(total_) + " parties";
  if (done_ > 0) {
    auto elapsed = std::chrono::steady_clock::now() - started_;
    auto left =
        std::chrono::duration_cast<std::chrono::seconds>(elapsed * (total_ - done_) / done_);
    words += ", about " + std::to_string(std::max<long>(1, left.count())) + " s left";
  }
  status_.SetProgress(std::pair{done_, total_}, words);
}

}  // namespace rnt::cli
