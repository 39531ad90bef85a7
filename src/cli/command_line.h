#pragma once

#include <optional>
#include <ostream>

#include "cli/at_site_command.h"
#include "cli/bills_command.h"
#include "cli/demo_command.h"
#include "cli/run_command.h"
#include "cli/settings_command.h"

namespace rnt::cli {

// The commands of rnt0417.
enum class Command {
  kRun,
  kCopyCompany,
  kPost,
  kParties,
  kDemo,
  kSettings,
  kBills,
  kReprint,
  kUnpost,
  kAtSite
};

// rnt0417's command line read into the options of the command it names.
struct CommandLine {
  Command command = Command::kRun;
  RunOptions run;
  CopyOptions copy;
  RunOptions post;  // a post makes the party's run first
  CompanyOptions parties;
  DemoOptions demo;
  SettingsOptions settings;
  BillsOptions bills;
  ReprintOptions reprint;
  UnpostOptions unpost;
  AtSiteOptions at_site;
};

// Reads rnt0417's command line (argv[0] the program) into `command_line`
// without running anything. Returns nullopt when the command is to be run;
// otherwise the exit status, after the help or the version went to `out` or
// the one-line reason of a wrong command line to `err`.
std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& command_line,
                                    std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
