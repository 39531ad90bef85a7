#include "engine/lost_damage.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "db/work_table.h"
#include "engine/queries.h"
#include "refhost/rent_lines.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

constexpr int32_t kItem = 501;
constexpr int32_t kParty = 101;

// Party 101 values item 501 at 200 and item 502 at 150, and has no value for
// item 503; the settings give damage lines D1 5 and lost lines D1 6.
class LostDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetThreadCompanyContext();
    host::CompanyContext& context = host::ThreadCompanyContext();
    context.connection = std::make_unique<db::Connection>();
    context.connection->Open(company_.connection_text());
    db::EnsureWorkTable(*context.connection);
    context.work_table = std::make_unique<db::Recordset>();
    context.work_table->Open(queries::kWorkTable, *context.connection, db::CursorType::kKeyset,
                             db::LockType::kOptimistic);
    context.user_name = "anna";
    context.bs1 = 5.0;
    context.bs2 = 6.0;
    company_.Execute(
        "insert into at_PartyPriceConfig (MasterCode1, MasterCode2, Value, Value2, Value3) "
        "values (101, 501, 1, 0, 200), (101, 502, 1, 0, 150)");
  }
  void TearDown() override { host::ResetThreadCompanyContext(); }

  host::CompanyContext& context() { return host::ThreadCompanyContext(); }

  // A voucher line of the host with its descriptions, on a day of April 2021.
  void Mark(int vch, int32_t item, int32_t party, int day, std::string quantity, std::string desc1,
            std::string desc2 = "") {
    std::string key = std::to_string(vch) + ", 1, ";
    company_.Execute("insert into Tran2 (VchCode, SrNo, Date, MasterCode1, Cm1, Value1) values (" +
                     key + "#" + std::to_string(day) + "-04-2021#, " + std::to_string(item) + ", " +
                     std::to_string(party) + ", " + quantity + ")");
    company_.Execute("insert into ItemDesc (VchCode, SrNo, Desc1, Desc2) values (" + key + "'" +
                     desc1 + "', '" + desc2 + "')");
  }

  std::vector<refhost::RentLine> Lines() {
    return refhost::ReadRentLines(company_.connection(), "anna");
  }

  testing::CompanyFile company_;
};

// Checks the columns named, and that every other column of the line is null:
// lost and damage lines never carry the columns of a rent period.
void ExpectLine(const refhost::RentLine& line, const std::map<std::string, Variant>& expected) {
  for (const auto& [column, value] : line.columns) {
    auto named = expected.find(column);
    EXPECT_EQ(value, named == expected.end() ? Variant::Null() : named->second) << column;
  }
}

TEST_F(LostDamage, TheDaysLostPiecesMakeOneLineAtTheReplacementValue) {
  Mark(1, 502, kParty, 5, "3", "Lost");
  Mark(2, 502, kParty, 5, "2", "L");
  AddLostLine(context(), int32_t{502}, kParty, Date::FromYmd(2021, 4, 5));

  std::vector<refhost::RentLine> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  ExpectLine(lines[0], {{"RNo", "Lost"},
                        {"Uname", "anna"},
                        {"Code1", 502.0},
                        {"Days", 0.0},
                        {"Qty", 5.0},
                        {"Price", 150.0},
                        {"D1", 6.0},
                        {"Qty2", 750.0},
                        {"RecType", 2.0}});
}

TEST_F(LostDamage, DamagedPiecesAreChargedAtTheirMeanPercentage) {
  Mark(1, kItem, kParty, 5, "1", "Damage", "10");
  Mark(2, kItem, kParty, 5, "1", "D", "30%");
  AddDamageLine(context(), kItem, kParty, "05-04-2021");

  std::vector<refhost::RentLine> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  ExpectLine(lines[0], {{"RNo", "Damage"},
                        {"Uname", "anna"},
                        {"Code1", 501.0},
                        {"Days", 0.0},
                        {"Qty", 2.0},
                        {"Price", 40.0},
                        {"D1", 5.0},
                        {"Qty2", 80.0},
                        {"RecType", 3.0}});
  EXPECT_TRUE(context().report.skipped.empty());
}

TEST_F(LostDamage, OnlyTheItemsPartysAndDaysMarkedLinesCount) {
  Mark(1, kItem, kParty, 5, "4", "Lost");
  Mark(2, kItem, kParty, 6, "10", "Lost");
  Mark(3, kItem, 102, 5, "10", "Lost");
  Mark(4, 502, kParty, 5, "10", "Lost");
  Mark(5, kItem, kParty, 5, "10", "Lostx");
  Mark(6, kItem, kParty, 5, "10", "Damage", "50");
  AddLostLine(context(), kItem, kParty, "05-04-2021");

  std::vector<refhost::RentLine> lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Get("Qty2"), Variant(800.0));
}

TEST_F(LostDamage, NoLineForNothingANetReturnOrAnUnknownQuantity) {
  Mark(1, kItem, kParty, 5, "3", "Lost");
  Mark(2, kItem, kParty, 5, "-3", "L");
  Mark(3, kItem, kParty, 5, "NULL", "D");
  Mark(4, kItem, kParty, 5, "7", "D", "50");
  AddLostLine(context(), kItem, kParty, "05-04-2021");
  AddDamageLine(context(), kItem, kParty, "05-04-2021");
  AddLostLine(context(), int32_t{502}, kParty, "05-04-2021");
  AddLostLine(context(), kItem, Variant::Null(), "05-04-2021");

  EXPECT_TRUE(Lines().empty());
  EXPECT_TRUE(context().lost_damage_counter.IsEmpty());
  EXPECT_TRUE(context().report.skipped.empty());
}

TEST_F(LostDamage, LinesAreNumberedAcrossCallsFromAnEmptyCounter) {
  context().bs1 = Variant();
  context().bs2 = Variant();
  Mark(1, 503, kParty, 5, "1", "D", "10");
  Mark(2, 503, kParty, 5, "2", "L");
  Mark(3, 503, kParty, 7, "1", "L");
  AddDamageLine(context(), int32_t{503}, kParty, "05-04-2021");
  AddLostLine(context(), int32_t{503}, kParty, "05-04-2021");
  AddLostLine(context(), int32_t{503}, kParty, "07-04-2021");

  std::vector<refhost::RentLine> lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].Get("SrNo").IsNull());
  EXPECT_EQ(lines[1].Get("SrNo"), Variant(1.0));
  EXPECT_EQ(lines[2].Get("SrNo"), Variant(2.0));
  for (const refhost::RentLine& line : lines) {
    // No value for the item: the pieces are counted but charge nothing.
    EXPECT_EQ(line.Get("Price"), Variant(0.0));
    EXPECT_EQ(line.Get("Qty2"), Variant(0.0));
    EXPECT_TRUE(line.Get("D1").IsNull());
  }
  EXPECT_EQ(lines[1].Get("Qty"), Variant(2.0));
}

}  // namespace
}  // namespace rnt::engine
