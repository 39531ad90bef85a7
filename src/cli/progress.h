#pragma once

#include <chrono>
#include <cstddef>

#include "cli/status_line.h"

namespace rnt::cli {

// The progress of a batch on the status line: parties done and the time left.
class Progress {
 public:
  Progress(size_t total, StatusLine& status);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void Advance();

 private:
  void Draw();
  size_t total_;
  size_t done_ = 0;
  StatusLine& status_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace rnt::cli
