#include "refhost/rent_lines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "db/work_table.h"
#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using rnt::testing::CompanyFile;

std::vector<double> SrNos(const std::vector<RentLine>& lines) {
  std::vector<double> numbers;
  for (const RentLine& line : lines) numbers.push_back(line.Get("SrNo").ToDouble());
  return numbers;
}

TEST(RefRentLines, AreTheUsersOwnInTheOrderWritten) {
  CompanyFile company;
  db::EnsureWorkTable(company.connection());
  // Serial numbers that run backwards, so that the write order is not theirs.
  company.Execute(
      "insert into atShut (SrNo, Uname, Qty) values (3, 'O''Brien', 4.5), (9, 'meena', NULL), "
      "(2, 'O''Brien', NULL), (1, 'O''Brien', NULL), (8, 'o''brien', NULL)");
  const std::vector<RentLine> lines = ReadRentLines(company.connection(), "O'Brien");
  EXPECT_EQ(SrNos(lines), (std::vector<double>{3, 2, 1}));
  EXPECT_EQ(lines[0].Get("qty"), Variant(4.5));
  EXPECT_TRUE(ReadRentLines(company.connection(), "nobody").empty());
}

TEST(RefRentLines, CarryEveryColumnOfTheWorkTableInItsOrder) {
  CompanyFile company;
  // A work table of an older version, without the later columns.
  company.Execute(db::WorkTableStatements()[0]);
  company.Execute("insert into atShut (SrNo, Uname, PDate) values (1, 'meena', '01-04-2021')");
  const std::vector<RentLine> lines = ReadRentLines(company.connection(), "meena");
  ASSERT_EQ(lines.size(), 1u);
  std::vector<std::string_view> names;
  for (const auto& column : lines[0].columns) names.push_back(column.first);
  EXPECT_TRUE(std::ranges::equal(names, db::WorkTableColumns()));
  EXPECT_EQ(lines[0].Get("PDate"), Variant("01-04-2021"));
  EXPECT_TRUE(lines[0].Get("RecType").IsNull());
  EXPECT_THROW(lines[0].Get("Amount"), Error);
}

}  // namespace
}  // namespace rnt::refhost
