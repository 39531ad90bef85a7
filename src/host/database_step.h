#pragma once

#include <string>
#include <string_view>

#include "host/company_context.h"

namespace rnt::host {

// The connection text of a company file.
std::string JetConnectionText(std::string_view database_path);

// The catalogue of a company's financial year on the server: the company
// code, "_db120" and the last two characters of the year date's text
// ("0001" and 01-04-2021 give "0001_db12021").
std::string CatalogueName(std::string_view company_code, std::string_view year_digits);

// The connection text for the server from the first line of Server.Txt
// (fields split at ";": 1 the server, 2 the login, 3 the password; field 0 is
// not used) and the catalogue. Throws rnt::Error when the line has fewer than
// four fields.
std::string ServerConnectionText(std::string_view server_line, std::string_view catalogue);

// Which of Start's three database steps runs: only the first one, before the
// rent run, can keep the run from its database.
enum class DatabaseStepRole { kBeforeRun, kAfterRun };

// Connects the add-on to the company database and makes sure of the work
// table: reads the user's name, closes an open connection, opens it again
// (company file or server catalogue), runs the work table's statements. Every
// failure is recorded in the context's report and skipped; before the run, a
// connection that cannot be opened or a work table that still lacks columns
// keeps the run from its database.
void RunDatabaseStep(CompanyContext& context, DatabaseStepRole role);

}  // namespace rnt::host
