#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>

#include "cli/run_command.h"
#include "refhost/company_files.h"
#include "refhost/server_login.h"
#include "rnt/date.h"

namespace rnt::cli {

// Throws CommandLineError naming the option when the file does not exist.
void RequireFile(std::string_view option, const std::filesystem::path& file);

// The server's login from the Server.Txt named, else the one in the working
// folder, else the one next to the program. Throws CommandLineError for a
// named file that does not exist and RunError for one that cannot be read.
refhost::ServerLogin ReadServerLogin(const std::optional<std::filesystem::path>& named);

// The company's years that a command works on, found rather than typed.
//
// In files: `--company` names one year's file or the folder of the company's
// year files. In a folder, the current year is the file whose financial year
// holds the closing date (the latest year when there is none, as for a
// listing); the previous year is the file of the same folder whose financial
// year starts one year before the current one, found by reading each file's
// FinancialYear. `--previous-year` names it instead, and must be that year
// and another file. On the server, the catalogue of the year that
// `year_start` names, which must hold that year.
//
// With a rent date, the current year must be able to bill it: a rent date from
// the year's first day to the day after its last. Databases of the folder
// whose year cannot be read are named on `err` and passed over.
//
// The years' data comes with the connections by which they were found, for the
// command to go on with. Throws CommandLineError (exit 2) for a company, year
// or rent date that does not fit, and RunError (exit 1) when the current or
// the named previous year's data cannot be read.
refhost::CompanyData FindCompanyYears(const CompanyOptions& options, std::optional<Date> year_start,
                                      std::optional<Date> rent_date, std::ostream& err);

}  // namespace rnt::cli
