#pragma once

#include <string>
#include <vector>

#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// The names of the parties that have movements of rental items dated before
// the rent date, in either year of the company, sorted by name.
std::vector<std::string> PartiesWithMovements(const CompanyFiles& files, Date rent_date);

}  // namespace rnt::refhost
