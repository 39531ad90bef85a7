// The arithmetic of a rent line on values a run never stores, a line that
// cannot be saved, and rate lookups on codes of any kind of value or without
// a connection; whole runs' lines, lost and damage lines and their rates are
// rent cases (tests/scenarios).
#include "engine/rent_line.h"

#include "db/work_table.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/value_helpers.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

using Lines = std::vector<std::string>;

// The calling thread's company context on a company file, connected as a run
// connects it, with the work table made and open for adding lines, for the
// user anna. Party 101 rents item 501 at 2.5 and values it at 200.
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
    context().user_name = "anna";
    company_.Execute("insert into at_PartyPriceConfig values (101, 501, 2.5, 0, 200)");
  }
  ~RunLines() override { host::ResetThreadCompanyContext(); }
  static host::CompanyContext& context() { return host::ThreadCompanyContext(); }

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

  // The user's saved lines in these columns.
  Lines Saved(const std::vector<std::string_view>& columns) {
    return testing::RowTexts(company_.connection(), "select * from atShut where Uname='anna'",
                             columns);
  }

  testing::CompanyFile company_;
};

TEST_F(RunLines, WorksOutDaysQtyAndAmountFromWhatTheRowStoresOrLeavesThemNull) {
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

TEST_F(RunLines, AFailedSaveOrAddLosesThatLineOnly) {
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

  EXPECT_EQ(Saved({"Dte2"}), Lines{"03-04-2021"});
  const auto& skipped = context().report.skipped;
  ASSERT_EQ(skipped.size(), 2u);  // a line that was never added sets nothing
  EXPECT_EQ(skipped[0].step, "save a rent line");
  EXPECT_EQ(skipped[1].step, "add a rent line");
  EXPECT_TRUE(skipped[0].kept_from_database && skipped[1].kept_from_database);
}

// Codes go into the lookups as their text, whatever kind of value holds them;
// codes that make no valid query find nothing, and that is no fault. A
// percentage is read as the platform reads a number's text.
TEST_F(RunLines, RatesOfCodesAndPercentagesOfAnyKindOfValue) {
  EXPECT_EQ(GetRentRate(context(), "101", 501.0), Variant(2.5));
  EXPECT_EQ(GetRentRate(context(), Variant::Null(), int32_t{501}), Variant(int16_t{0}));
  EXPECT_EQ(GetRentRate(context(), "abc", int32_t{501}), Variant(int16_t{0}));
  EXPECT_EQ(GetReplacementRate(context(), Variant::Null(), int32_t{501}), Variant(int16_t{0}));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, "501", "10 %"), Variant(20.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, Variant::Null()), Variant(0.0));
  AddDamageAndLostLines(context(), int32_t{501}, Variant::Null(), "05-04-2021");
  EXPECT_TRUE(Saved({"SrNo"}).empty());
  EXPECT_TRUE(context().report.skipped.empty());
}

TEST_F(RunLines, ALostConnectionAnswersZeroAndIsReportedOncePerLookup) {
  context().connection->Close();
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{501}), Variant(int16_t{0}));
  ASSERT_EQ(context().report.skipped.size(), 1u);
  EXPECT_NE(context().report.skipped[0].step.find("rent rate"), std::string::npos);
  EXPECT_FALSE(context().report.skipped[0].kept_from_database);
  GetDamageCharge(context(), int32_t{101}, int32_t{501}, int32_t{30});
  EXPECT_EQ(context().report.skipped.size(), 2u);
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

}  // namespace
}  // namespace rnt::engine
