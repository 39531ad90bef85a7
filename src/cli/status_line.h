#pragma once

#include <unistd.h>

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace rnt::cli {

// The one line of the terminal where rnt0417 shows that it is busy: the
// spinner's mark and a batch's progress bar share it. Every change redraws
// the whole line at once, under one lock and cut to the terminal's width, so
// that neither writes over the other and a narrow terminal gets a shorter bar
// instead of a wrapped line. Off a terminal it shows nothing.
class StatusLine {
 public:
  explicit StatusLine(int fd = STDERR_FILENO);
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  bool shown() const { return terminal_; }
  // The spinner's turning mark at the start of the line, or none.
  void SetMark(std::optional<char> mark);
  // A bar of `done` out of `total` followed by `after_bar`; nullopt takes it
  // away.
  void SetProgress(std::optional<std::pair<size_t, size_t>> done_of_total,
                   const std::string& after_bar = "");
  // Takes the line off the terminal, so that a message can be printed there;
  // the next change draws it again.
  void Clear();

 private:
  // The line as it fits `width` columns.
  std::string Fitted(size_t width) const;
  void Draw();
  void Write(const std::string& text) const;

  const int fd_;
  const bool terminal_;
  std::mutex mutex_;
  std::optional<char> mark_;
  std::optional<std::pair<size_t, size_t>> progress_;
  std::string after_bar_;
};

}  // namespace rnt::cli
