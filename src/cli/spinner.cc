#include "cli/spinner.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace rnt::cli {
namespace {

// A run shorter than this shows no spinner at all.
constexpr auto kMoment = std::chrono::milliseconds(400);
constexpr auto kTurn = std::chrono::milliseconds(120);

}  // namespace

Spinner::Spinner() : terminal_(isatty(STDERR_FILENO) != 0) {}

Spinner::~Spinner() { Stop(); }

void Spinner::Start() {
  std::lock_guard lock(mutex_);
  if (!terminal_ || running_) return;
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
    std::fprintf(stderr, "\r%c calculating rent ...", kMarks[turn % 4]);
    std::fflush(stderr);
    wake_.wait_for(lock, kTurn, [this] { return !running_; });
  }
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace rnt::cli
