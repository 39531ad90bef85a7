// Continuations from a previous rent voucher end to end: the voucher's items
// carried forward, walked through the previous and the current year, and the
// items the voucher does not list.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/company_context.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Continuation : public RentRunTest {
 protected:
  // The current year's file starts on 1 April 2021 unless a test says otherwise.
  explicit Continuation(Date current_start = Date::FromYmd(2021, 4, 1))
      : RentRunTest(current_start) {}

  void SetUp() override {
    RentRunTest::SetUp();
    current_.Rate(kParty, kPlates, 2, 100).Rate(kParty, kProps, 1, 50);
  }
};

TEST_P(Continuation, AVoucherOfThePreviousYearIsWalkedThroughThatYearFirst) {
  previous_.RentVoucher(800, "01-03-2021", kParty, {{kPlates, "10", "C0", "15-02-2021"}})
      .Return("10-03-2021", "R1", kPlates, kParty, 4)
      .Issue("20-03-2021", "C1", kPlates, kParty, 2);
  RentRun run = Run("11-04-2021", true);
  EXPECT_THAT(RentLines(run),
              ElementsAre("-1000 101 0 0 10 10 01-03-2021 10-03-2021 9 90",
                          "-999 101 0 4 10 6 10-03-2021 19-03-2021 10 60",
                          "-998 101 2 0 6 8 20-03-2021 31-03-2021 12 96",
                          // Still with the party in the new year, though it did not move.
                          "1 101 - - 8 8 01-04-2021 10-04-2021 9 72"));
  const refhost::RentLine& opening = run.lines.front();
  EXPECT_EQ(opening.Get("RNo"), Variant("R1"));
  EXPECT_EQ(opening.Get("ChallanNo"), Variant("C0"));
  EXPECT_EQ(opening.Get("ChallanDate"), Variant("15-02-2021"));
  EXPECT_EQ(opening.Get("Qty2"), Variant(180.0));
}

TEST_P(Continuation, AnItemQuietInBothYearsIsChargedInOneLine) {
  previous_.RentVoucher(800, "15-03-2021", kParty, {{kProps, "5", "C9", "01-03-2021"}});
  RentRun run = Run("01-05-2021", true);
  EXPECT_THAT(RentLines(run), ElementsAre("1 102 - - 5 5 15-03-2021 30-04-2021 46 230"));
}

TEST_P(Continuation, AnItemQuietOnlyInThePreviousYearIsChargedFromThePreviousRentDate) {
  previous_.RentVoucher(800, "15-03-2021", kParty, {{kProps, "5", "C9", "01-03-2021"}});
  current_.Issue("10-04-2021", "C2", kProps, kParty, 3);
  RentRun run = Run("01-05-2021", true);
  EXPECT_THAT(RentLines(run), ElementsAre("0 102 0 0 5 5 15-03-2021 10-04-2021 26 130",
                                          "1 102 3 0 5 8 10-04-2021 30-04-2021 21 168"));
}

TEST_P(Continuation, TwoItemsOfAPreviousYearVoucherBothStartAtThePreviousRentDate) {
  previous_
      .RentVoucher(800, "01-03-2021", kParty,
                   {{kPlates, "10", "C0", "01-02-2021"}, {kProps, "4", "C5", "01-02-2021"}})
      .Return("10-03-2021", "R1", kPlates, kParty, 4)
      .Return("12-03-2021", "R2", kProps, kParty, 4);
  RentRun run = Run("02-04-2021", true);
  std::vector<std::string> openings;
  for (const auto& line : run.lines) {
    if (line.Get("SrNo") == Variant(-1000.0)) openings.push_back(line.Get("Dte1").ToText());
  }
  EXPECT_THAT(openings, ElementsAre("01-03-2021", "01-03-2021"));
}

TEST_P(Continuation, TheVouchersItemsAreNotWalkedAgainAsUnlistedItems) {
  previous_.RentVoucher(800, "31-03-2021", kParty, {{kPlates, "10", "C0", "01-03-2021"}});
  current_.Issue("05-04-2021", "C1", kPlates, kParty, 2);
  RentRun run = Run("10-04-2021", true);
  EXPECT_THAT(RentLines(run), ElementsAre("0 101 0 0 10 10 31-03-2021 05-04-2021 5 50",
                                          "1 101 2 0 10 12 05-04-2021 09-04-2021 5 60"));
}

TEST_P(Continuation, MovementsOnTheYearsFirstDayAreBilledWithoutItsOpeningEntries) {
  previous_.RentVoucher(800, "01-03-2021", kParty, {{kPlates, "10", "C0", "15-02-2021"}})
      .Return("10-03-2021", "R1", kPlates, kParty, 4);
  // The opening entry carries the 6 that the previous year's walk carries too.
  current_.Opening("01-04-2021", kPlates, kParty, 6).Issue("01-04-2021", "C1", kPlates, kParty, 5);
  RentRun run = Run("11-04-2021", true);
  EXPECT_THAT(RentLines(run), ElementsAre("-1000 101 0 0 10 10 01-03-2021 10-03-2021 9 90",
                                          "-999 101 0 4 10 6 10-03-2021 31-03-2021 21 126",
                                          "0 101 0 4 6 6 01-04-2021 01-04-2021 0 0",
                                          "2 101 5 0 6 11 01-04-2021 10-04-2021 10 110"));
  EXPECT_EQ(run.lines.back().Get("RNo"), Variant("C1"));
  EXPECT_EQ(run.lines.back().Get("Qty2"), Variant(220.0));
}

TEST_P(Continuation, UnlistedItemsAreWalkedFromAPreviousYearVoucherAcrossTheYearEnd) {
  previous_.RentVoucher(800, "01-03-2021", kParty, {{kPlates, "10", "C0", "15-02-2021"}})
      .Issue("20-03-2021", "C5", kProps, kParty, 8)
      .Return("25-03-2021", "R4", kProps, kParty, 1)
      .Lost("25-03-2021", kProps, kParty, 1);
  current_.Opening("01-04-2021", kPlates, kParty, 10)
      .Opening("01-04-2021", kProps, kParty, 7)
      .Return("05-04-2021", "R5", kProps, kParty, 3);
  RentRun run = Run("11-04-2021", true);
  EXPECT_THAT(RentLines(run), ElementsAre(
                                  // Quiet in both years: its opening entry is no movement.
                                  "1 101 - - 10 10 01-03-2021 10-04-2021 40 400",
                                  // Props came after the voucher: charged from their delivery,
                                  // into the new year with the balance they had.
                                  "1 102 8 0 0 8 20-03-2021 25-03-2021 6 48",
                                  "2 102 0 1 8 7 25-03-2021 04-04-2021 10 70",
                                  "3 102 0 3 7 4 05-04-2021 10-04-2021 5 20"));
  // The piece lost in the previous year is billed at the current rate.
  ASSERT_EQ(run.lines.size(), 5u);
  EXPECT_EQ(run.lines[2].Get("RNo"), Variant("Lost"));
  EXPECT_EQ(run.lines[2].Get("Qty2"), Variant(50.0));
}

// A company whose financial year began on 1 April 2020, so that a voucher of
// 31 March 2021 lies in the current year.
class CurrentYearContinuation : public Continuation {
 protected:
  CurrentYearContinuation() : Continuation(Date::FromYmd(2020, 4, 1)) {}
};

TEST_P(CurrentYearContinuation, ChallansOfTheCurrentYearAreMatchedByNumber) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "10", " C0 ", "01-03-2021"}})
      .Issue("10-04-2021", "C1", kPlates, kParty, 5)
      .Return("20-04-2021", "C2", kPlates, kParty, 8);
  RentRun run = Run("01-05-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("0 101 0 0 10 10 31-03-2021 10-04-2021 10 100",
                                          "1 101 5 0 10 15 10-04-2021 20-04-2021 10 150",
                                          "2 101 0 8 15 7 20-04-2021 30-04-2021 10 70"));
  for (const auto& line : run.lines) {
    EXPECT_EQ(line.Get("ChallanNo"), Variant("C0"));
    EXPECT_EQ(line.Get("ChallanDate"), Variant("01-03-2021"));
  }
}

TEST_P(CurrentYearContinuation, ADeliveryAndTwoPartReturnsOfOneDayAreOneLine) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "10", "C0", "01-03-2021"}})
      .Issue("10-04-2021", "DC-1", kPlates, kParty, 36)
      .Return("10-04-2021", "RC-1", kPlates, kParty, 6)
      .Return("10-04-2021", "RC-2", kPlates, kParty, 6);
  RentRun run = Run("01-05-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("0 101 0 0 10 10 31-03-2021 10-04-2021 10 100",
                                          "1 101 24 0 10 34 10-04-2021 30-04-2021 21 714"));
  EXPECT_EQ(run.lines.back().Get("Qty2"), Variant(1428.0));
}

TEST_P(CurrentYearContinuation, AQuietItemIsChargedFromTheVoucherToTheClosingDate) {
  current_
      .RentVoucher(900, "01-04-2021", kParty,
                   {{kProps, "5", "C9", "01-03-2021"}, {kPlates, "4", "C8", "01-04-2021"}})
      .Damaged("01-04-2021", kProps, kParty, 1, 20)
      // Returned on the voucher's day with a piece lost: billed by the bill
      // the voucher closed, with that return.
      .Return("01-04-2021", "C8", kPlates, kParty, 3)
      .Lost("01-04-2021", kPlates, kParty, 1);
  RentRun run = Run("01-05-2021", false);
  EXPECT_THAT(RentLines(run),
              ::testing::UnorderedElementsAre("1 102 - - 5 5 01-04-2021 30-04-2021 29 145",
                                              "1 101 - - 4 4 01-04-2021 30-04-2021 29 116"));
  ASSERT_EQ(run.lines.size(), 3u);
  const auto damage = std::find_if(run.lines.begin(), run.lines.end(), [](const auto& line) {
    return line.Get("RecType") != Variant(1.0);
  });
  EXPECT_EQ(damage->Get("RNo"), Variant("Damage"));  // 20 % of 50
  EXPECT_EQ(damage->Get("Qty2"), Variant(10.0));
}

TEST_P(CurrentYearContinuation, WithNothingCarriedTheFirstLineStartsOnItsOwnDay) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "0", "C0", "01-03-2021"}})
      .Issue("10-04-2021", "C1", kPlates, kParty, 5);
  RentRun run = Run("01-05-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("1 101 5 0 0 5 10-04-2021 30-04-2021 21 105"));
}

TEST_P(CurrentYearContinuation, AChallanNumberWithAQuoteFindsItsOwnRows) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "0", "C0", "01-03-2021"}})
      .Issue("10-04-2021", "A'1", kPlates, kParty, 4);
  RentRun run = Run("11-04-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("1 101 4 0 0 4 10-04-2021 10-04-2021 1 4"));
  EXPECT_EQ(run.lines[0].Get("RNo"), Variant("A'1"));
}

TEST_P(CurrentYearContinuation, MovementsOnTheVoucherDayAreOutAndOnTheClosingDayIn) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "0", "C0", "01-03-2021"}})
      .Issue("31-03-2021", "C1", kPlates, kParty, 7)
      .Issue("30-04-2021", "C2", kPlates, kParty, 3);
  RentRun run = Run("01-05-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("1 101 3 0 0 3 30-04-2021 30-04-2021 1 3"));
}

TEST_P(CurrentYearContinuation, TheVoucherItemIsItsLastLineAndOtherRecordTypesAreSkipped) {
  current_.RentVoucher(900, "31-03-2021", kParty,
                       {{kPlates, "6", "C0", "01-02-2021"},
                        {kPlates, "5", "C1", "01-03-2021"},
                        {kProps, "9", "C9", "01-03-2021", 5}});
  RentRun run = Run("11-04-2021", false);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(run.lines[0].Get("D3"), Variant(5.0));
  EXPECT_EQ(run.lines[0].Get("ChallanNo"), Variant("C1"));
}

TEST_P(CurrentYearContinuation, UnlistedItemsAreChargedFromTheirFirstMovement) {
  current_.RentVoucher(900, "31-03-2021", kParty, {{kPlates, "2", "C0", "01-03-2021"}})
      .Issue("03-04-2021", "C1", kPlates, kParty, 1)
      .Issue("01-04-2021", "C7", kProps, kParty, 10);
  RentRun run = Run("10-04-2021", false);
  EXPECT_THAT(RentLines(run), ElementsAre("0 101 0 0 2 2 31-03-2021 03-04-2021 3 6",
                                          "1 101 1 0 2 3 03-04-2021 09-04-2021 7 21",
                                          "1 102 10 0 0 10 01-04-2021 09-04-2021 9 90"));
  const refhost::RentLine& unlisted = run.lines.back();
  EXPECT_EQ(unlisted.Get("ChallanNo"), Variant("C7"));
  EXPECT_EQ(unlisted.Get("ChallanDate"), Variant("01-04-2021"));
}

INSTANTIATE_TEST_SUITE_P(Storage, Continuation, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);
INSTANTIATE_TEST_SUITE_P(Storage, CurrentYearContinuation,
                         ::testing::Values(Storage::kFile, Storage::kServer), StorageName);

}  // namespace
}  // namespace rnt::testing
