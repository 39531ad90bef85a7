#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/connection.h"
#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// A party as Master1 names it.
struct Party {
  std::int32_t code = 0;
  std::string name;
};

// The parties that have movements of rental items dated before the rent
// date, in either year of the company, sorted by name.
std::vector<Party> PartiesWithMovements(const CompanyData& company, Date rent_date);

// Every party of the year's Master1 (MasterType 2), sorted by name. Throws
// rnt::Error when Master1 cannot be read.
std::vector<Party> AllParties(db::Connection& year);

}  // namespace rnt::refhost
