#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "cli/status_line.h"

namespace rnt::cli {

// The busy pointer of a run: a turning mark on the status line while the run
// takes longer than a moment. Off a terminal it shows nothing.
class Spinner {
 public:
  explicit Spinner(StatusLine& status);
  ~Spinner();
  Spinner(const Spinner&) = delete;
  Spinner& operator=(const Spinner&) = delete;

  void Start();
  // Stops and takes the mark off the line.
  void Stop();

 private:
  void Turn();

  StatusLine& status_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace rnt::cli
