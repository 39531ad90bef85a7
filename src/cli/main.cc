// rnt0417: rent runs on a company's files from the command line, made the way
// the accounting host makes them.
#include <iostream>

#include "cli/command_line.h"
#include "cli/parties_command.h"

int main(int argc, char** argv) {
  rnt::cli::CommandLine command_line;
  if (std::optional<int> status =
          rnt::cli::ParseCommandLine(argc, argv, command_line, std::cout, std::cerr)) {
    return *status;
  }
  switch (command_line.command) {
    case rnt::cli::Command::kPost:
      return rnt::cli::PostRentVoucher(command_line.post, std::cout, std::cerr);
    case rnt::cli::Command::kParties:
      return rnt::cli::ListParties(command_line.parties, std::cout, std::cerr);
    case rnt::cli::Command::kDemo:
      return rnt::cli::Demo(command_line.demo, std::cout, std::cerr);
    case rnt::cli::Command::kCopyCompany:
      return rnt::cli::CopyCompany(command_line.copy, std::cout, std::cerr);
    case rnt::cli::Command::kSettings:
      return rnt::cli::CompanySettingsCommand(command_line.settings, std::cout, std::cerr);
    case rnt::cli::Command::kBills:
      return rnt::cli::ListBills(command_line.bills, std::cout, std::cerr);
    case rnt::cli::Command::kReprint:
      return rnt::cli::ReprintBill(command_line.reprint, std::cout, std::cerr);
    case rnt::cli::Command::kUnpost:
      return rnt::cli::UnpostBill(command_line.unpost, std::cout, std::cerr);
    case rnt::cli::Command::kAtSite:
      return rnt::cli::ListMaterialAtSites(command_line.at_site, std::cout, std::cerr);
    case rnt::cli::Command::kRun:
      break;
  }
  return rnt::cli::RunRentRun(command_line.run, std::cout, std::cerr);
}
