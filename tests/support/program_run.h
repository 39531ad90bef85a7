#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rnt::testing {

// What a program printed and how it ended.
struct ProgramRun {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// Runs a program with arguments (no shell between: arguments are passed as
// they are), standard input empty, and collects its output.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// Runs a program on a terminal of its own, `columns` wide, and gives in `out`
// everything it wrote there (standard output and error together, as a user
// sees them, line ends as the terminal sends them).
ProgramRun RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         int columns);

// What the machine refuses the program, for tests of faults that only the
// machine can make.
struct ChildLimits {
  // Writing any file past this many bytes fails with EFBIG, SIGXFSZ ignored:
  // a disk that fills up while the program writes.
  std::optional<long long> file_size_limit;
  // Without the capabilities that let root write and enter what a file's mode
  // forbids (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER), dropped
  // from the child's bounding and inheritable sets before it starts the
  // program: a read-only file is then read-only to root too. Nothing to drop
  // for any other user.
  bool without_file_override = false;
};

// The exit status of a child that could not be given its limits.
inline constexpr int kLimitsNotSet = 125;

// Runs a program as RunProgram does, within the limits; exit status
// kLimitsNotSet when they could not be set.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits);

// A program started in the background, for tests that act on it while it runs.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::vector<std::string>& arguments);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  bool Running();
  ProgramRun Wait();
  // Ends a program that has hung; Wait then gives its output so far.
  void Kill();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Starts the program once per argument list, all at the same time, and waits
// for every one of them.
std::vector<ProgramRun> RunProgramsTogether(const std::string& program,
                                            const std::vector<std::vector<std::string>>& runs);

}  // namespace rnt::testing
