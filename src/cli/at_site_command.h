#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/run_command.h"

namespace rnt::cli {

// What `rnt0417 at-site` was asked to list: the material at the parties'
// sites at the end of a day.
struct AtSiteOptions : CompanyOptions {
  std::optional<std::string> date;  // default: the last day of the latest year
  std::string party;                // default: every party
  std::string format = "table";
};

// Lists every party's items still with it at the end of the day, with the
// challans they went out on and a total per item over the parties. Returns
// the exit status; reasons go to `err`.
int ListMaterialAtSites(const AtSiteOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
