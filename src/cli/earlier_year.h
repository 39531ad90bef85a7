#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "refhost/company_files.h"

namespace rnt::cli {

// Whether the company's year before the current one is at hand: material
// delivered before the current year began is billed only from there.
// Returns nullopt when it is, else what is missing ("no file for the year
// 01-04-2023 to 31-03-2024 in DIR", "no catalogue 0001_db12023 on the
// server"). Throws RunError when the server cannot be asked.
std::optional<std::string> MissingEarlierYear(const refhost::CompanyData& company);

// Checks the company's years before a bill. Without the year before, and
// unless the clerk said the company has no earlier year (`first_year`), says
// on `err` that material delivered before the year began is not billed, and
// returns the reason, for a post to refuse. `first_year` when the year before
// is there is refused (CommandLineError): it would hide that year's material.
std::optional<std::string> CheckEarlierYear(const refhost::CompanyData& company, bool first_year,
                                            std::ostream& err);

}  // namespace rnt::cli
