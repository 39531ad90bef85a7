#pragma once

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace rnt::cli {

// A progress bar of a batch on a terminal: parties done and the time left.
// Off a terminal it prints nothing.
class Progress {
 public:
  Progress(size_t total, std::ostream& terminal);
  void Advance();
  // Takes the bar off its line, so that a message can be printed there.
  void Clear();

 private:
  void Draw();
  size_t total_;
  size_t done_ = 0;
  std::ostream& terminal_;
  bool shown_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace rnt::cli
