#pragma once

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

}  // namespace rnt::testing
