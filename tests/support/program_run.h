#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_folder.h"

namespace rnt::testing {

// What a program printed and how it ended (128 + the signal that ended it).
struct ProgramRun {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// What the machine refuses the program, for faults that only the machine can make.
struct ChildLimits {
  // Writing any file past this many bytes fails with EFBIG, SIGXFSZ ignored:
  // a disk that fills up while the program writes.
  std::optional<long long> file_size_limit;
  // Without the capabilities that let root write and enter what a file's mode
  // forbids (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER): a read-only
  // file is then read-only to root too. Nothing to drop for any other user.
  bool without_file_override = false;
  // Ended by SIGALRM after this many seconds: a program that has hung.
  unsigned seconds = 0;
};

// The exit status of a child that could not be given its limits.
inline constexpr int kLimitsNotSet = 125;

// A program started with arguments (no shell between), standard input empty,
// within the limits; its output collected in files of its own.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments,
                    const ChildLimits& limits = {});
  ~BackgroundProgram() { Wait(); }

  bool Running() { return !Ended(WNOHANG); }
  ProgramRun Wait() { return Ended(0) ? *finished_ : ProgramRun{}; }

 private:
  // Whether the program has ended, waiting for it as waitpid's options say.
  bool Ended(int wait_options);
  TempFolder folder_;
  pid_t pid_ = 0;
  std::optional<ProgramRun> finished_;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits = {});
inline ProgramRun Rnt(const std::vector<std::string>& arguments) {
  return RunProgram(RNT_CLI_PATH, arguments);
}

// Runs a program on a terminal of its own, `columns` wide, and gives in `out`
// everything it wrote there, as a user sees it (line ends as the terminal sends them).
ProgramRun RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         int columns);

std::string FileText(const std::filesystem::path& file);

// Checks that the file holds the text. A file that does not (or is missing)
// is written anew only when RNT_REWRITE_EXPECTED=1 is in the environment, and
// the check still fails, naming it, so that the change is looked at before it
// is committed.
void ExpectFileHolds(const std::filesystem::path& file, const std::string& text);

// Whether the run ended with `status` and one line on standard error holding `reason`.
::testing::AssertionResult EndedWith(const ProgramRun& run, int status, std::string_view reason);

}  // namespace rnt::testing
