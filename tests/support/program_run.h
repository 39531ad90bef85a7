#pragma once

#include <memory>
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
