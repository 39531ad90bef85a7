#include "db/work_table.h"

#include "rnt/error.h"

namespace rnt::db {

const std::array<std::string_view, 10>& WorkTableStatements() {
  static constexpr std::array<std::string_view, 10> kStatements = {
      "Create Table atShut ([SrNo] float,[RNo] varchar(40),[Uname] varchar(40),[Code1] "
      "float,[Days] float,[Qty] float,[Qty2] float,[Price] float,[PDate] varchar(40) )",
      "Alter Table atshut Add [D1] float",
      "Alter Table atshut Add [D2] float",
      "Alter Table atshut Add [D3] float",
      "Alter Table atshut Add [D4] float",
      "Alter Table atshut Add [RecType] float",
      "Alter Table atshut Add [Dte1] varchar(15)",
      "Alter Table atshut Add [Dte2] varchar(15)",
      "Alter Table atshut Add [ChallanNo] varchar(15)",
      "Alter Table atshut Add [ChallanDate] varchar(15)",
  };
  return kStatements;
}

const std::array<std::string_view, 18>& WorkTableColumns() {
  static constexpr std::array<std::string_view, 18> kColumns = {
      "SrNo", "RNo", "Uname", "Code1", "Days",    "Qty",  "Qty2", "Price",     "PDate",
      "D1",   "D2",  "D3",    "D4",    "RecType", "Dte1", "Dte2", "ChallanNo", "ChallanDate"};
  return kColumns;
}

std::vector<StatementOutcome> EnsureWorkTable(Connection& connection) {
  std::vector<StatementOutcome> outcomes;
  for (std::string_view statement : WorkTableStatements()) {
    StatementOutcome outcome{statement, false, {}};
    try {
      connection.Execute(statement);
      outcome.succeeded = true;
    } catch (const std::exception& error) {
      outcome.error = error.what();
    }
    outcomes.push_back(std::move(outcome));
  }
  return outcomes;
}

}  // namespace rnt::db
