#include "refhost/rent_lines.h"

#include <gtest/gtest.h>

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
  company.Execute("insert into atShut (SrNo, Uname, RNo) values (3, 'O''Brien', 'A1')");
  company.Execute("insert into atShut (SrNo, Uname) values (9, 'meena')");
  company.Execute("insert into atShut (SrNo, Uname, Qty) values (2, 'O''Brien', 4.5)");
  company.Execute("insert into atShut (SrNo, Uname) values (1, 'O''Brien')");
  company.Execute("insert into atShut (SrNo, Uname) values (8, 'o''brien')");

  const std::vector<RentLine> lines = ReadRentLines(company.connection(), "O'Brien");
  EXPECT_EQ(SrNos(lines), (std::vector<double>{3, 2, 1}));
  EXPECT_EQ(lines[0].Get("rno"), Variant("A1"));
  EXPECT_EQ(lines[1].Get("Qty"), Variant(4.5));
  EXPECT_TRUE(lines[0].Get("ChallanDate").IsNull());

  EXPECT_EQ(SrNos(ReadRentLines(company.connection(), "meena")), std::vector<double>{9});
  EXPECT_TRUE(ReadRentLines(company.connection(), "nobody").empty());
}

TEST(RefRentLines, CarryEveryColumnOfTheWorkTableInItsOrder) {
  CompanyFile company;
  // A work table of an older version, without the later columns.
  company.Execute(db::WorkTableStatements()[0]);
  company.Execute("insert into atShut (SrNo, Uname, PDate) values (1, 'meena', '01-04-2021')");

  const std::vector<RentLine> lines = ReadRentLines(company.connection(), "meena");
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].columns.size(), db::WorkTableColumns().size());
  for (size_t i = 0; i < lines[0].columns.size(); ++i) {
    EXPECT_EQ(lines[0].columns[i].first, db::WorkTableColumns()[i]);
  }
  EXPECT_EQ(lines[0].Get("PDate"), Variant("01-04-2021"));
  EXPECT_TRUE(lines[0].Get("RecType").IsNull());
  EXPECT_THROW(lines[0].Get("Amount"), Error);
}

}  // namespace
}  // namespace rnt::refhost
