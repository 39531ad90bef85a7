#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/run_command.h"

namespace rnt::cli {

// What `rnt0417 settings` was asked to do: show the company's settings, and
// with a day rule, set it first.
struct SettingsOptions : CompanyOptions {
  std::optional<std::string> day_rule;         // "both days", "end of day" or "as before"
  std::optional<std::string> amount_grouping;  // "indian" or "international"
};

// Shows bs1, bs2, the day rule and the amount grouping of the company's latest year (the year of
// --year-start on the server). With --day-rule it sets the rule in every year
// of the company found, so that a bill comes out the same whichever year
// holds it: in a folder every year file (and the year before, when
// --previous-year names it elsewhere), for a file that file and the year
// before's, on the server the year's catalogue and the year before's. The
// latest year must have at_ILC; another year without it is passed over. A
// wrong rule is exit 2 with nothing written. --amount-grouping is set the
// same way.
int CompanySettingsCommand(const SettingsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
