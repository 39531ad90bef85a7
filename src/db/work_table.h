#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"

namespace rnt::db {

// The statements that make the work table atShut and give an older table the
// columns added since: one create of its first nine columns, then one alter
// per later column, in the order of the table's columns.
const std::array<std::string_view, 10>& WorkTableStatements();

// The work table's columns in their order, as the statements above make them.
const std::array<std::string_view, 18>& WorkTableColumns();

// What became of one of the work table's statements.
struct StatementOutcome {
  std::string_view statement;
  bool succeeded = false;
  std::string error;  // why it failed; empty when it succeeded
};

// Runs each of the work table's statements by itself, whatever became of the
// one before: on a new database all succeed; on a complete table all fail,
// which is the ordinary case, and nothing changes.
std::vector<StatementOutcome> EnsureWorkTable(Connection& connection);

}  // namespace rnt::db
