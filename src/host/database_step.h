#pragma once

#include <string>
#include <string_view>

#include "host/company_context.h"
#include "host/server_text.h"

namespace rnt::host {

// The connection text of a company file.
std::string JetConnectionText(std::string_view database_path);

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

// Adds to the report the statements that the open connection has sent since
// they were last counted.
void CountStatementsSent(CompanyContext& context);

}  // namespace rnt::host
