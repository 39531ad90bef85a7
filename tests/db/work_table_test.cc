#include "db/work_table.h"

#include <gtest/gtest.h>

#include "db/recordset.h"
#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyFile;

int Succeeded(const std::vector<StatementOutcome>& outcomes) {
  int count = 0;
  for (const auto& outcome : outcomes) count += outcome.succeeded ? 1 : 0;
  return count;
}

std::vector<std::string> ColumnsOf(Connection& connection) {
  std::vector<std::string> names;
  for (const ColumnInfo& column : connection.backend()->TableColumns("atShut")) {
    names.push_back(column.name + ":" + std::to_string(static_cast<int>(column.kind)) + ":" +
                    std::to_string(column.max_length));
  }
  return names;
}

const std::vector<std::string> kAllColumns = {
    "SrNo:0:0", "RNo:2:40",    "Uname:2:40", "Code1:0:0", "Days:0:0",       "Qty:0:0",
    "Qty2:0:0", "Price:0:0",   "PDate:2:40", "D1:0:0",    "D2:0:0",         "D3:0:0",
    "D4:0:0",   "RecType:0:0", "Dte1:2:15",  "Dte2:2:15", "ChallanNo:2:15", "ChallanDate:2:15"};

TEST(WorkTable, IsMadeWithAllItsColumnsInOrderAndThenLeftAsItIs) {
  CompanyFile company;
  EXPECT_EQ(Succeeded(EnsureWorkTable(company.connection())), 10);
  EXPECT_EQ(ColumnsOf(company.connection()), kAllColumns);
  company.Execute("Insert Into atShut (SrNo, Uname, D1) values (1, 'B', 2)");
  EXPECT_EQ(Succeeded(EnsureWorkTable(company.connection())), 0);
  EXPECT_EQ(ColumnsOf(company.connection()), kAllColumns);
  Recordset rows;
  rows.Open("select count(*) as n, sum(D1) as d from atShut", company.connection());
  EXPECT_EQ(rows.Field("n"), Variant(int32_t{1}));
  EXPECT_EQ(rows.Field("d"), Variant(2.0));
}

TEST(WorkTable, GainsExactlyTheMissingColumnsOnAnOlderTable) {
  CompanyFile company;
  company.Execute(WorkTableStatements()[0]);
  company.Execute("Insert Into atShut (SrNo, Uname) values (1, 'B')");
  auto outcomes = EnsureWorkTable(company.connection());
  EXPECT_FALSE(outcomes[0].succeeded);
  EXPECT_NE(outcomes[0].error, "");
  EXPECT_EQ(Succeeded(outcomes), 9);
  EXPECT_EQ(ColumnsOf(company.connection()), kAllColumns);
}

// A company file may declare any length: one that no int holds sets no limit
// instead of a wrong one.
TEST(WorkTable, ReadsTheDeclaredLengthsOfACompanyFilesTextColumns) {
  CompanyFile company;
  company.Execute(
      "Create Table atShut ([RNo] varchar(4294967336), [Uname] varchar(40), [PDate] text)");
  EXPECT_EQ(ColumnsOf(company.connection()),
            (std::vector<std::string>{"RNo:2:0", "Uname:2:40", "PDate:2:0"}));
}

}  // namespace
}  // namespace rnt::db
