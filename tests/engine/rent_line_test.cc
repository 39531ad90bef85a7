// The lines a rent run writes into the work table: rent lines, lost and
// damage lines, the rates they charge and the values they are worked out from.
#include "engine/rent_line.h"

#include "db/work_table.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/value_helpers.h"
#include "refhost/company_files.h"
#include "refhost/components.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

using Lines = std::vector<std::string>;
constexpr int32_t kItem = 501;
constexpr int32_t kParty = 101;

// The calling thread's company context on a company file, connected as a run
// connects it, with the work table made and open for adding lines, for the
// user anna. Party 101 takes its rates from master 7 and has rows of its own
// for items 501 and 502 only, which it values at 200 and 150; it has no value
// for item 503, nor rate for item 999. Party 102 has no rate master. The
// settings give damage lines D1 5 and lost lines D1 6.
class RunLines : public ::testing::Test {
 protected:
  RunLines() {
    host::ResetThreadCompanyContext();
    context().connection = std::make_unique<db::Connection>();
    context().connection->Open(company_.connection_text());
    db::EnsureWorkTable(*context().connection);
    context().work_table = std::make_unique<db::Recordset>();
    context().work_table->Open(queries::kWorkTable, *context().connection, db::CursorType::kKeyset,
                               db::LockType::kOptimistic);
    context().master_lookup = std::make_unique<refhost::ReferenceMasterLookup>(
        std::make_shared<refhost::YearFile>(company_.path()));
    context().user_name = "anna";
    context().bs1 = 5.0;
    context().bs2 = 6.0;
    company_.Execute(
        "insert into Master1 (Code, MasterType, Name, RateMaster) values "
        "(101, 2, 'Acme', 7), (102, 2, 'Zenith', NULL)");
    company_.Execute(
        "insert into at_PartyPriceConfig (MasterCode1, MasterCode2, Value, Value2, Value3) "
        "values (101, 501, 2.5, 9, 200), (101, 502, 1, 0, 150), (7, 501, 4, 0, 300), "
        "(7, 504, 3, 0, 150), (102, 503, NULL, 0, NULL)");
  }
  ~RunLines() override { host::ResetThreadCompanyContext(); }
  static host::CompanyContext& context() { return host::ThreadCompanyContext(); }

  // A voucher line of the host with its descriptions, on a day of April 2021.
  void Mark(int vch, int32_t item, int32_t party, int day, std::string quantity, std::string desc1,
            std::string desc2 = "") {
    const std::string key = std::to_string(vch) + ", 1, ";
    company_.Execute("insert into Tran2 (VchCode, SrNo, Date, MasterCode1, Cm1, Value1) values (" +
                     key + "#" + std::to_string(day) + "-04-2021#, " + std::to_string(item) + ", " +
                     std::to_string(party) + ", " + quantity + ")");
    company_.Execute("insert into ItemDesc (VchCode, SrNo, Desc1, Desc2) values (" + key + "'" +
                     desc1 + "', '" + desc2 + "')");
  }

  // A rent line from 1 April to `end`, at `price`, for a rent quantity of 5.
  void WriteLine(const Variant& end, const Variant& price) {
    RentLine line(context());
    line.Set("Uname", "anna");
    line.Set("Price", price);
    line.Set("Dte1", "01-04-2021");
    line.Set("Dte2", end);
    line.SetDaysFromPeriod();
    line.AddToDays(1);
    line.SetQtyFromDays("5 pieces");
    line.SetAmountFromPriceAndQty();
    line.Save();
  }

  // The user's saved lines, the columns named or every column.
  Lines Saved(std::vector<std::string_view> columns = {}) {
    if (columns.empty())
      columns.assign(db::WorkTableColumns().begin(), db::WorkTableColumns().end());
    return testing::RowTexts(company_.connection(), "select * from atShut where Uname='anna'",
                             columns);
  }

  testing::CompanyFile company_;
};

using RentLineTest = RunLines;
using LostDamage = RunLines;
using Rates = RunLines;

TEST_F(RentLineTest, WorksOutDaysQtyAndAmountFromWhatTheRowStoresOrLeavesThemNull) {
  WriteLine(Date::FromYmd(2021, 4, 11), "2.5");  // stored as text, and as a number
  // A period without an end: an ordinary outcome, not a fault.
  WriteLine(Variant(), 2.0);
  WriteLine("", 2.0);
  // Values the columns refuse: reported, and the line is still saved.
  WriteLine("32-04-2021", "cheap");

  EXPECT_EQ(Saved({"Dte2", "Days", "Qty", "Qty2", "Price"}),
            (Lines{"11-04-2021|11|55|137.5|2.5", "null|null|null|null|2", "|null|null|null|2",
                   "32-04-2021|null|null|null|null"}));
  const auto& skipped = context().report.skipped;
  ASSERT_EQ(skipped.size(), 2u);
  EXPECT_EQ(skipped[0].step, "set Price of a rent line");
  EXPECT_NE(skipped[0].failure.find("cheap"), std::string::npos);
  EXPECT_NE(skipped[1].failure.find("32-04-2021"), std::string::npos);
}

TEST_F(RentLineTest, AFailedSaveOrAddLosesThatLineOnly) {
  {
    RentLine line(context());
    line.Set("Uname", "anna");
    context().connection->Execute("drop table atShut");
    line.Save();
  }
  db::EnsureWorkTable(*context().connection);
  WriteLine("03-04-2021", 1.0);
  context().work_table->Close();
  WriteLine("03-04-2021", 1.0);

  EXPECT_EQ(Saved().size(), 1u);
  const auto& skipped = context().report.skipped;
  ASSERT_EQ(skipped.size(), 2u);  // a line that was never added sets nothing
  EXPECT_EQ(skipped[0].step, "save a rent line");
  EXPECT_EQ(skipped[1].step, "add a rent line");
  EXPECT_TRUE(skipped[0].kept_from_database && skipped[1].kept_from_database);
}

TEST(ValueHelpersTest, DayFirstTextBecomesAQueryDateAndNegativeNumbersFlip) {
  EXPECT_EQ(SqlDateText("04-04-2021"), "04-Apr-2021");
  EXPECT_EQ(SqlDateText(Date::FromYmd(2021, 4, 5)), "05-Apr-2021");
  EXPECT_EQ(SqlDateText(int32_t{44291}), "05-Apr-2021");
  EXPECT_EQ(SqlDateText("not a day"), "not a day");
  EXPECT_EQ(SqlDateText(Variant()), "");
  EXPECT_EQ(SqlDateText(Variant::Null()), "");
  EXPECT_EQ(SqlDateText(1e12), "");  // no such day
  // Absolute values: negative numbers flip, others come back as they are.
  // Text stays text unless it is negative.
  const std::pair<Variant, Variant> cases[] = {{int16_t{-3}, int16_t{3}},
                                               {int32_t{-70000}, int32_t{70000}},
                                               {"-2.5", 2.5},
                                               {"12abc", "12abc"},
                                               {"2.5", "2.5"},
                                               {Variant(), Variant()}};
  for (const auto& [value, absolute] : cases) EXPECT_EQ(AbsoluteValue(value), absolute);
  // Failures surface in the caller's statement.
  EXPECT_THROW(AbsoluteValue(Variant::Null()), Error);
  EXPECT_THROW(AbsoluteValue("-12abc"), Error);  // negative lead, but not a number
}

// Whole lines, numbered from an empty counter: lost and damage lines never
// carry the columns of a rent period.
TEST_F(LostDamage, TheDaysLostAndDamagedPiecesMakeOneLineEach) {
  Mark(1, 502, kParty, 5, "3", "Lost");
  Mark(2, 502, kParty, 5, "2", "L");
  Mark(3, kItem, kParty, 5, "1", "Damage", "10");
  Mark(4, kItem, kParty, 5, "1", "D", "30%");
  // Lost pieces at the replacement value, damaged ones at their mean percentage of it.
  AddLostLine(context(), int32_t{502}, kParty, Date::FromYmd(2021, 4, 5));
  AddDamageLine(context(), kItem, kParty, "05-04-2021");
  EXPECT_EQ(Saved(),
            (Lines{"null|Lost|anna|502|0|5|750|150|null|6|null|null|null|2|null|null|null|null",
                   "1|Damage|anna|501|0|2|80|40|null|5|null|null|null|3|null|null|null|null"}));
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

  EXPECT_TRUE(Saved().empty());
  EXPECT_TRUE(context().lost_damage_counter.IsEmpty());
  EXPECT_TRUE(context().report.skipped.empty());
}

// No value for the item and no settings: the pieces are counted but charge nothing.
TEST_F(LostDamage, WithoutAValueOrSettingsPiecesAreCountedAndChargeNothing) {
  context().bs1 = Variant();
  context().bs2 = Variant();
  Mark(1, 503, kParty, 5, "1", "D", "10");
  Mark(2, 503, kParty, 5, "2", "L");
  Mark(3, 503, kParty, 7, "1", "L");
  AddDamageLine(context(), int32_t{503}, kParty, "05-04-2021");
  AddLostLine(context(), int32_t{503}, kParty, "05-04-2021");
  AddLostLine(context(), int32_t{503}, kParty, "07-04-2021");
  EXPECT_EQ(Saved(),
            (Lines{"null|Damage|anna|503|0|1|0|0|null|null|null|null|null|3|null|null|null|null",
                   "1|Lost|anna|503|0|2|0|0|null|null|null|null|null|2|null|null|null|null",
                   "2|Lost|anna|503|0|1|0|0|null|null|null|null|null|2|null|null|null|null"}));
}

TEST_F(Rates, RentRateIsThePartysOwnThenItsRateMastersButPieceValuesAreThePartysOnly) {
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{501}), Variant(2.5));
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{504}), Variant(3.0));
  // Codes go into the query as their text, whatever kind of value holds them.
  EXPECT_EQ(GetRentRate(context(), "101", 504.0), Variant(3.0));
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{999}), Variant(int16_t{0}));
  EXPECT_EQ(GetRentRate(context(), int32_t{102}, int32_t{501}), Variant(int16_t{0}));
  EXPECT_TRUE(GetRentRate(context(), int32_t{102}, int32_t{503}).IsNull());
  // Codes that make no valid query find nothing, and that is no fault.
  EXPECT_EQ(GetRentRate(context(), Variant::Null(), int32_t{501}), Variant(int16_t{0}));
  EXPECT_EQ(GetRentRate(context(), "abc", int32_t{501}), Variant(int16_t{0}));
  EXPECT_TRUE(context().report.skipped.empty());
  // The replacement value and the damage charge never ask the rate master.
  EXPECT_EQ(GetReplacementRate(context(), int32_t{101}, int32_t{501}), Variant(200.0));
  EXPECT_EQ(GetReplacementRate(context(), int32_t{101}, int32_t{504}), Variant(int16_t{0}));
  EXPECT_TRUE(GetReplacementRate(context(), int32_t{102}, int32_t{503}).IsNull());

  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, int32_t{30}), Variant(60.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, "10 %"), Variant(20.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, Variant::Null()), Variant(0.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{102}, int32_t{503}, int32_t{50}), Variant(0.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{504}, int32_t{30}),
            Variant(int16_t{0}));
}

TEST_F(Rates, ALostConnectionAnswersZeroAndIsReportedOncePerLookup) {
  context().connection->Close();
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{501}), Variant(int16_t{0}));
  ASSERT_EQ(context().report.skipped.size(), 1u);
  EXPECT_NE(context().report.skipped[0].step.find("rent rate"), std::string::npos);
  EXPECT_FALSE(context().report.skipped[0].kept_from_database);
  GetDamageCharge(context(), int32_t{101}, int32_t{501}, int32_t{30});
  EXPECT_EQ(context().report.skipped.size(), 2u);
}

}  // namespace
}  // namespace rnt::engine
