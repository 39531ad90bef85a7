#pragma once

#include <memory>
#include <string>
#include <vector>

#include "refhost/company_files.h"
#include "refhost/parties.h"

namespace rnt::cli {

// The party named on the command line (blanks around it and letter case
// aside), with its name as Master1 spells it. Throws CommandLineError for a name that is not a
// party of Master1, suggesting the closest names, and RunError when the company's data cannot be
// read.
refhost::Party LookUpParty(const std::shared_ptr<refhost::YearFile>& company,
                           const std::string& name);

// Up to three of `names` closest to `typed`, closest first: names that hold
// the typed text, and names a few letters away from it. Letter case aside.
std::vector<std::string> ClosestNames(const std::string& typed,
                                      const std::vector<std::string>& names);

}  // namespace rnt::cli
