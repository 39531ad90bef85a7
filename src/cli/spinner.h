#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace rnt::cli {

// The busy pointer of a run, shown on a terminal: a turning mark on standard
// error while the run takes longer than a moment. Off a terminal (output piped
// or sent to a file) it shows nothing.
class Spinner {
 public:
  Spinner();
  ~Spinner();
  Spinner(const Spinner&) = delete;
  Spinner& operator=(const Spinner&) = delete;

  void Start();
  // Stops and takes the mark off the line.
  void Stop();

 private:
  void Turn();

  const bool terminal_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool running_ = false;
  std::thread thread_;
};

}  // namespace rnt::cli
