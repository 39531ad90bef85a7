// Any argument vector of rnt0417: the command line is read and its values
// checked as before a run, without running anything or touching a file.
#include <sstream>

#include "cli/command_line.h"
#include "cli/run_values.h"
#include "fuzz_check.h"

using rnt::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The arguments are the input split at NUL bytes.
  std::vector<std::string> arguments = rnt::fuzz::Pieces(rnt::fuzz::TextOf(data, size), '\0', 31);
  if (size == 0) arguments.clear();
  arguments.insert(arguments.begin(), "rnt0417");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());

  rnt::cli::CommandLine command_line;
  std::ostringstream out, err;
  const std::optional<int> status = rnt::cli::ParseCommandLine(static_cast<int>(argv.size()),
                                                               argv.data(), command_line, out, err);
  if (status) {
    Require(*status == rnt::cli::kRunFinished || *status == rnt::cli::kBadCommandLine,
            "a command line that runs nothing exits 0 (help) or 2");
    Require(*status == rnt::cli::kRunFinished || !err.str().empty(), "a refusal says why");
    return 0;
  }
  rnt::fuzz::Tried([&] {
    if (command_line.command == rnt::cli::Command::kRun) {
      rnt::cli::CheckRunValues(command_line.run, command_line.run.user.value_or("clerk"));
    } else if (command_line.command == rnt::cli::Command::kPost) {
      rnt::cli::CheckRunValues(command_line.post, command_line.post.user.value_or("clerk"));
    } else if (command_line.command == rnt::cli::Command::kParties) {
      rnt::cli::CheckCompanyValues(command_line.parties);
    }
  });
  return 0;
}
