// First calculations end to end: company files in, the user's rent lines out,
// every column checked.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/company_context.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class FirstCalculation : public RentRunTest {
 protected:
  FirstCalculation() : RentRunTest(Date::FromYmd(2021, 4, 1)) {}

  void SetUp() override {
    RentRunTest::SetUp();
    current_.Rate(kParty, kPlates, 2, 100).Rate(kParty, kProps, 0.5, 200);
  }

  RentRun Run(const std::string& rent_date, bool with_previous_year = false,
              const std::string& user = "clerk") {
    return RentRunTest::Run(rent_date, with_previous_year, user);
  }

  static std::vector<std::string> Lines(const RentRun& run) {
    std::vector<std::string> lines;
    for (const auto& line : run.lines) lines.push_back(Describe(line));
    return lines;
  }
};

TEST_P(FirstCalculation, AnIssueAndAPartReturnGiveTwoLinesUpToTheClosingDate) {
  current_.Issue("01-04-2021", "C1", kPlates, kParty, 10)
      .Return("05-04-2021", "R1", kPlates, kParty, 4);
  RentRun run = Run("10-04-2021");
  EXPECT_THAT(
      Lines(run),
      ElementsAre(
          "SrNo=1 RNo=C1 Uname=clerk Code1=101 Days=5 Qty=50 Qty2=100 Price=2 PDate=null D1=10 "
          "D2=0 D3=0 D4=10 RecType=1 Dte1=01-04-2021 Dte2=05-04-2021 ChallanNo=C1 "
          "ChallanDate=01-04-2021",
          "SrNo=2 RNo=R1 Uname=clerk Code1=101 Days=5 Qty=30 Qty2=60 Price=2 PDate=null D1=0 "
          "D2=4 D3=10 D4=6 RecType=1 Dte1=05-04-2021 Dte2=09-04-2021 ChallanNo=R1 "
          "ChallanDate=05-04-2021"));
  EXPECT_EQ(run.report.FirstDatabaseFailure(), nullptr);
}

TEST_P(FirstCalculation, ThePreviousYearsMovementsAreRentedUpToTheClosingDateWhenTheYearIsQuiet) {
  previous_.Issue("01-03-2021", "C1", kPlates, kParty, 10)
      .Return("05-03-2021", "R1", kPlates, kParty, 4);
  RentRun run = Run("10-04-2021", true);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0].Get("Days"), Variant(5.0));
  EXPECT_EQ(run.lines[1].Get("Dte2"), Variant("09-04-2021"));
  EXPECT_EQ(run.lines[1].Get("Days"), Variant(36.0));  // 35 days, and the list's end adds one
  EXPECT_EQ(run.lines[1].Get("Qty"), Variant(216.0));
}

TEST_P(FirstCalculation, EachItemCarriesItsOwnBalanceAcrossTheYearBoundary) {
  previous_.Issue("10-03-2021", "C1", kPlates, kParty, 10)
      .Issue("15-03-2021", "C2", kProps, kParty, 5);
  current_.Return("05-04-2021", "R1", kPlates, kParty, 4)
      .Return("08-04-2021", "R2", kProps, kParty, 5);
  RentRun run = Run("10-04-2021", true);
  EXPECT_THAT(
      Lines(run),
      ElementsAre(
          // Each item's last previous-year line ends the day before its own first
          // current-year movement.
          HasSubstr("SrNo=1 RNo=C1 Uname=clerk Code1=101 Days=26 Qty=260 Qty2=520 Price=2 "
                    "PDate=null D1=10 D2=0 D3=0 D4=10 RecType=1 Dte1=10-03-2021 Dte2=04-04-2021"),
          HasSubstr("SrNo=1 RNo=C2 Uname=clerk Code1=102 Days=24 Qty=120 Qty2=60 Price=0.5 "
                    "PDate=null D1=5 D2=0 D3=0 D4=5 RecType=1 Dte1=15-03-2021 Dte2=07-04-2021"),
          // The current year goes on from each item's own balance and row counter.
          HasSubstr("SrNo=2 RNo=R1 Uname=clerk Code1=101 Days=4 Qty=24 Qty2=48 Price=2 "
                    "PDate=null D1=0 D2=4 D3=10 D4=6 RecType=1 Dte1=05-04-2021 "
                    "Dte2=09-04-2021"),
          HasSubstr("SrNo=2 RNo=R2 Uname=clerk Code1=102 Days=0 Qty=0 Qty2=0 Price=0.5 "
                    "PDate=null D1=0 D2=5 D3=5 D4=0 RecType=1 Dte1=08-04-2021 "
                    "Dte2=08-04-2021")));
}

TEST_P(FirstCalculation, TwoChallansOnOneDayCountTheDayOnce) {
  previous_.Issue("01-03-2021", "C1", kPlates, kParty, 10)
      .Issue("01-03-2021", "C2", kPlates, kParty, 5)
      .Return("11-03-2021", "R1", kPlates, kParty, 15);
  // Pieces lost in the previous year are found in that year's file.
  previous_.Lost("01-03-2021", kPlates, kParty, 1);
  RentRun run = Run("10-04-2021", true);
  std::vector<std::string> rent;
  int lost_lines = 0;
  for (const auto& line : run.lines) {
    if (line.Get("RecType") == Variant(2.0)) ++lost_lines;
    if (line.Get("RecType") == Variant(1.0)) {
      rent.push_back(line.Get("SrNo").ToText() + ":" + line.Get("D1").ToText() + "/" +
                     line.Get("D2").ToText() + "/" + line.Get("D4").ToText());
    }
  }
  EXPECT_THAT(rent, ElementsAre("1:15/0/15", "2:0/15/0"));
  EXPECT_EQ(lost_lines, 1);
}

TEST_P(FirstCalculation, ADeliveryAndTwoPartReturnsOfOneDayAreOneLine) {
  current_.Issue("10-06-2021", "DC-1260", kPlates, kParty, 36)
      .Return("10-06-2021", "RC-1", kPlates, kParty, 6)
      .Return("10-06-2021", "RC-2", kPlates, kParty, 6);
  EXPECT_THAT(
      Lines(Run("01-07-2021")),
      ElementsAre("SrNo=1 RNo=DC-1260 Uname=clerk Code1=101 Days=21 Qty=504 Qty2=1008 Price=2 "
                  "PDate=null D1=24 D2=0 D3=0 D4=24 RecType=1 Dte1=10-06-2021 Dte2=30-06-2021 "
                  "ChallanNo=DC-1260 ChallanDate=10-06-2021"));
}

TEST_P(FirstCalculation, AFullReturnChargesItsOwnDayAndNoOtherItemsQuantity) {
  previous_.Issue("01-03-2021", "C1", kPlates, kParty, 10)
      .Return("10-03-2021", "R1", kPlates, kParty, 10)
      .Issue("15-03-2021", "C2", kProps, kParty, 3);
  RentRun run = Run("10-04-2021", true);
  ASSERT_EQ(run.lines.size(), 3u);
  const refhost::RentLine& full_return = run.lines[1];
  EXPECT_EQ(full_return.Get("D4"), Variant(0.0));
  EXPECT_EQ(full_return.Get("Dte1"), Variant("10-03-2021"));
  EXPECT_EQ(full_return.Get("Dte2"), Variant("10-03-2021"));
  EXPECT_EQ(full_return.Get("Days"), Variant(0.0));
  EXPECT_EQ(full_return.Get("Qty"), Variant(0.0));
}

TEST_P(FirstCalculation, RatesComeFromThePartyOrItsRateMasterOrAreZero) {
  current_.Party(13, "Verma & Sons", 50).Rate(50, kPlates, 1.5);
  current_.Issue("01-04-2021", "C1", kPlates, 13, 2).Issue("01-04-2021", "C2", kProps, 13, 2);
  RentRunRequest request = Request("04-04-2021", false);
  request.party = "verma & sons";
  RentRun run = MakeRentRun(request);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[0].Get("Price"), Variant(1.5));
  EXPECT_EQ(run.lines[0].Get("Qty2"), Variant(9.0));  // 2 pieces, 3 days, 1.5 a day
  EXPECT_EQ(run.lines[1].Get("Price"), Variant(0.0));
  EXPECT_EQ(run.lines[1].Get("Qty"), Variant(6.0));
  EXPECT_EQ(run.lines[1].Get("Qty2"), Variant(0.0));
}

TEST_P(FirstCalculation, LostAndDamagedPiecesGetTheirOwnLines) {
  current_.Settings(7, 8);
  current_.Issue("01-04-2021", "C1", kProps, kParty, 10)
      .Return("05-04-2021", "R1", kProps, kParty, 4)
      .Lost("05-04-2021", kProps, kParty, 2)
      .Damaged("05-04-2021", kProps, kParty, 1, 30);
  RentRun run = Run("10-04-2021");
  std::vector<std::string> lines = Lines(run);
  EXPECT_THAT(lines, Contains("SrNo=null RNo=Damage Uname=clerk Code1=102 Days=0 Qty=1 Qty2=60 "
                              "Price=60 PDate=null D1=7 D2=null D3=null D4=null RecType=3 "
                              "Dte1=null Dte2=null ChallanNo=null ChallanDate=null"));
  EXPECT_THAT(lines, Contains("SrNo=1 RNo=Lost Uname=clerk Code1=102 Days=0 Qty=2 Qty2=400 "
                              "Price=200 PDate=null D1=8 D2=null D3=null D4=null RecType=2 "
                              "Dte1=null Dte2=null ChallanNo=null ChallanDate=null"));
}

TEST_P(FirstCalculation, RefusesARentDateOnWhichRentWasCalculatedAlready) {
  current_.Issue("01-04-2021", "C1", kPlates, kParty, 10);
  current_.RentVoucher(900, "05-04-2021", kParty, {{kPlates, "10", "C1", "01-04-2021"}});
  RentRun refused = Run("05-04-2021");
  ASSERT_TRUE(refused.report.refusal.has_value());
  EXPECT_EQ(*refused.report.refusal,
            "Rent are Allready Calculated On 05-Apr-2021 Please Select Another Date");
  EXPECT_THAT(refused.windowing_events, Contains("show Invalid Data !!"));
  EXPECT_EQ(refused.windowing_events.back(), "yield");
  EXPECT_THAT(refused.lines, IsEmpty());

  RentRun accepted = Run("06-04-2021");
  EXPECT_FALSE(accepted.report.refusal.has_value());
  ASSERT_EQ(accepted.lines.size(), 1u);
  EXPECT_EQ(accepted.lines[0].Get("Dte1"), Variant("05-04-2021"));
}

TEST_P(FirstCalculation, AVoucherWithoutACodeIsNoPreviousRent) {
  current_.Issue("01-04-2021", "C1", kPlates, kParty, 10);
  current_.RentVoucher(0, "02-04-2021", kParty, {});
  RentRun run = Run("05-04-2021");
  EXPECT_FALSE(run.report.refusal.has_value());
  EXPECT_EQ(run.lines.size(), 1u);
}

TEST_P(FirstCalculation, LooksForThePreviousRentVoucherInThePreviousYear) {
  previous_.RentVoucher(800, "31-03-2021", kParty, {{kPlates, "10", "C1", "01-03-2021"}});
  RentRun run = Run("05-04-2021", true);
  EXPECT_THAT(Lines(run),
              ElementsAre("SrNo=1 RNo=null Uname=clerk Code1=101 Days=4 Qty=40 Qty2=80 Price=2 "
                          "PDate=null D1=null D2=null D3=10 D4=10 RecType=1 Dte1=31-03-2021 "
                          "Dte2=04-04-2021 ChallanNo=C1 ChallanDate=01-03-2021"));
  // On the server the previous year is there whenever its catalogue is.
  if (GetParam() == Storage::kFile) {
    RentRun without_previous_year = Run("05-04-2021", false);
    EXPECT_THAT(without_previous_year.lines, IsEmpty());
  }
}

TEST_P(FirstCalculation, KeepsTheLinesOfEachUserApart) {
  current_.Issue("01-04-2021", "C1", kPlates, kParty, 10);
  RentRun first = Run("05-04-2021", false, "anita");
  RentRun second = Run("06-04-2021", false, "O'Brien");
  EXPECT_EQ(first.lines.size(), 1u);
  EXPECT_EQ(second.lines.size(), 1u);
  EXPECT_EQ(second.lines[0].Get("Uname"), Variant("O'Brien"));
  RentRun again = Run("07-04-2021", false, "anita");
  ASSERT_EQ(again.lines.size(), 1u);
  EXPECT_EQ(again.lines[0].Get("Dte2"), Variant("06-04-2021"));
}

INSTANTIATE_TEST_SUITE_P(Storage, FirstCalculation,
                         ::testing::Values(Storage::kFile, Storage::kServer), StorageName);

}  // namespace
}  // namespace rnt::testing
