#include "cli/demo_command.h"

#include <cstdlib>

#include "cli/run_command.h"
#include "refhost/demo_company.h"
#include "rnt/error.h"

namespace rnt::cli {
namespace {

std::filesystem::path NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rnt0417-demo-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw Error("cannot make a folder for the demo company");
  return pattern;
}

}  // namespace

int Demo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  refhost::DemoCompany demo;
  try {
    std::filesystem::path folder = options.dir ? *options.dir : NewFolder();
    std::error_code error;
    if (options.dir && std::filesystem::exists(folder / "demo-2024-25.db", error)) {
      err << "rnt0417: --dir: " << folder.string()
          << " holds a demo company already; name an empty folder\n";
      return kBadCommandLine;
    }
    demo = refhost::MakeDemoCompany(folder);
  } catch (const std::exception& error) {
    err << "rnt0417: the demo company could not be made: " << error.what() << "\n";
    return kRunNotMade;
  }
  out << "Demo company: " << demo.current_year.string() << "\n"
      << "  (previous year: " << demo.previous_year.string() << ")\n\n";

  int status = kRunFinished;
  for (const auto& [party, how] :
       {std::pair{demo.first_party, "billed from its whole history (no rent voucher yet)"},
        std::pair{demo.continued_party, "billed from its rent voucher of 31-05-2024"}}) {
    out << "== " << party << ", " << how << "\n";
    RunOptions run;
    run.company = demo.current_year.parent_path();  // the years are found in the folder
    run.party = party;
    run.rent_date = demo.rent_date;
    run.user = "demo";
    int result = RunRentRun(run, out, err);
    if (result != kRunFinished && status == kRunFinished) status = result;
    out << "\n";
  }
  out << "Try: rnt0417 run --company " << demo.current_year.parent_path().string()
      << " --party \"Verma & Sons\" --rent-date " << demo.rent_date << "\n"
      << "     rnt0417 parties --company " << demo.current_year.parent_path().string() << "\n";
  return status;
}

}  // namespace rnt::cli
