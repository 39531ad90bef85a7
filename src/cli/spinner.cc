#include "cli/spinner.h"

#include <chrono>

namespace rnt::cli {
namespace {

// A run shorter than this shows no spinner at all.
constexpr auto kMoment = std::chrono::milliseconds(400);
constexpr auto kTurn = std::chrono::milliseconds(120);

}  // namespace

Spinner::Spinner(StatusLine& status) : status_(status) {}

Spinner::~Spinner() { Stop(); }

void Spinner::Start() {
  std::lock_guard lock(mutex_);
  if (!status_.shown() || running_) return;
  running_ = true;
  thread_ = std::thread([this] { Turn(); });
}

void Spinner::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
  }
  wake_.notify_all();
  thread_.join();
}

void Spinner::Turn() {
  static constexpr char kMarks[] = {'|', '/', '-', '\\'};
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, kMoment, [this] { return !running_; })) return;
  for (size_t turn = 0; running_; ++turn) {
    status_.SetMark(kMarks[turn % 4]);
    wake_.wait_for(lock, kTurn, [this] { return !running_; });
  }
  status_.SetMark(std::nullopt);
}

}  // namespace rnt::cli
