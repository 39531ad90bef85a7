#include "engine/lost_damage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/work_table.h"
#include "engine/queries.h"
#include "refhost/rent_lines.h"
#include "support/company_file.h"
#include "support/rent_run.h"

namespace rnt::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

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

  // The user's saved lines, every column as text.
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& line : refhost::ReadRentLines(company_.connection(), "anna")) {
      lines.push_back(testing::Describe(line));
    }
    return lines;
  }

  testing::CompanyFile company_;
};

// Whole lines: lost and damage lines never carry the columns of a rent period.
TEST_F(LostDamage, TheDaysLostPiecesMakeOneLineAtTheReplacementValue) {
  Mark(1, 502, kParty, 5, "3", "Lost");
  Mark(2, 502, kParty, 5, "2", "L");
  AddLostLine(context(), int32_t{502}, kParty, Date::FromYmd(2021, 4, 5));
  EXPECT_EQ(Lines(), std::vector<std::string>{
                         "SrNo=null RNo=Lost Uname=anna Code1=502 Days=0 Qty=5 Qty2=750 Price=150 "
                         "PDate=null D1=6 D2=null D3=null D4=null RecType=2 Dte1=null Dte2=null "
                         "ChallanNo=null ChallanDate=null"});
}

TEST_F(LostDamage, DamagedPiecesAreChargedAtTheirMeanPercentage) {
  Mark(1, kItem, kParty, 5, "1", "Damage", "10");
  Mark(2, kItem, kParty, 5, "1", "D", "30%");
  AddDamageLine(context(), kItem, kParty, "05-04-2021");
  EXPECT_EQ(Lines(), std::vector<std::string>{
                         "SrNo=null RNo=Damage Uname=anna Code1=501 Days=0 Qty=2 Qty2=80 Price=40 "
                         "PDate=null D1=5 D2=null D3=null D4=null RecType=3 Dte1=null Dte2=null "
                         "ChallanNo=null ChallanDate=null"});
  EXPECT_TRUE(context().report.skipped.empty());
}

TEST_F(LostDamage, NoLineForNothingANetReturnOrAnUnknownQuantity) {
  Mark(1, kItem, kParty, 5, "3", "Lost");
  Mark(2, kItem, kParty, 5, "-3", "L");
  Mark(3, kItem, kParty, 5, "NULL", "D");
  Mark(4, kItem, kParty, 5, "7", "D", "50");
  // Only the item's, party's and day's lines marked lost count.
  Mark(5, kItem, kParty, 6, "10", "Lost");
  Mark(6, kItem, 102, 5, "10", "Lost");
  Mark(7, 503, kParty, 5, "10", "Lost");
  Mark(8, kItem, kParty, 5, "10", "Lostx");
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

  // No value for the item: the pieces are counted but charge nothing.
  EXPECT_THAT(Lines(),
              ElementsAre(StartsWith("SrNo=null RNo=Damage Uname=anna Code1=503 Days=0 Qty=1 "
                                     "Qty2=0 Price=0 PDate=null D1=null"),
                          StartsWith("SrNo=1 RNo=Lost Uname=anna Code1=503 Days=0 Qty=2 Qty2=0 "
                                     "Price=0 PDate=null D1=null"),
                          StartsWith("SrNo=2 RNo=Lost Uname=anna Code1=503 Days=0 Qty=1 Qty2=0 "
                                     "Price=0 PDate=null D1=null")));
}

}  // namespace
}  // namespace rnt::engine
