// Every query of a rent run, run on a small company file and on the same
// company on the database server, returns the rows that a hand count of the
// company's vouchers gives.
#include "engine/queries.h"

#include "support/company_file.h"

namespace rnt::engine::queries {
namespace {

using Rows = std::vector<std::string>;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

class RentRunQueries : public rnt::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (IsSkipped()) return;
    // Party 12 has rates of its own; party 13 rents at rate master 50's rates.
    Execute(
        "Insert Into at_PartyPriceConfig values (12, 101, 2.5, 0, 200), (50, 101, 1.75, 0, 150)");
    // Rent vouchers of party 12: two on 30 April (only 500 is marked 'Rental'),
    // one on 31 May; one of party 13.
    Execute(
        "Insert Into Tran1 values (500, 9, #2021-04-30#, 'R-1', 12), (501, 9, #2021-04-30#, "
        "'O-1', 12), (502, 9, #2021-05-31#, 'R-2', 12), (503, 9, #2021-05-01#, 'R-3', 13)");
    Execute(
        "Insert Into VchOtherInfo values (500, 'R1', 'Rental'), (501, 'X', 'Other'), "
        "(502, 'R2', 'Rental')");
    // Voucher 500 lists item 101 twice, item 102 once, and a line of another kind.
    Execute(
        "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, VchNo, MasterCode1, Cm1, "
        "Value1) values (500, 1, 7, 9, #2021-04-30#, 'R-1', 101, 12, 6), (500, 2, 7, 9, "
        "#2021-04-30#, 'R-1', 101, 12, 5), (500, 3, 2, 9, #2021-04-30#, 'R-1', 102, 12, 2), "
        "(500, 4, 5, 9, #2021-04-30#, 'R-1', 103, 12, 1)");
    Execute(
        "Insert Into ItemDesc (VchCode, SrNo, Desc6, Desc11, Desc12) values (500, 1, '6', 'C0', "
        "'01-03-2021'), (500, 2, '5', ' C1 ', '05-04-2021'), (500, 3, '2', 'C3', '07-04-2021'), "
        "(500, 4, '1', 'C9', '07-04-2021')");
    // Lines of a return voucher marked lost and damaged on 9 April.
    Execute(
        "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, MasterCode1, Cm1, Value1) "
        "values (700, 1, 1, 11, #2021-04-09#, 101, 12, 3), (700, 2, 1, 11, #2021-04-09#, 101, 12, "
        "2), (700, 3, 1, 11, #2021-04-09#, 101, 12, 1), (700, 4, 1, 11, #2021-04-09#, 101, 13, 9)");
    Execute(
        "Insert Into ItemDesc (VchCode, SrNo, Desc1, Desc2) values (700, 1, 'Lost', ''), (700, 2, "
        "'L', ''), (700, 3, 'D', '30'), (700, 4, 'Lost', '')");
    // Stock entries (issues negative, returns positive).
    Execute(
        "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, "
        "MasterCode1, MasterCode2, Value1) values "
        "(-1400, 9, #2021-04-01#, 'OP', 0, 3, 0, 101, 12, -7), "
        "(601, 4, #2021-04-05#, 'C1', 1, 3, 0, 101, 12, -10), "
        "(602, 4, #2021-04-05#, 'C2', 2, 3, 5, 101, 12, -5), "
        "(603, 4, #2021-04-07#, ' C3', 4, 3, 3, 102, 12, -6), "
        "(604, 11, #2021-04-09#, 'R1', 3, 3, 0, 101, 12, 4), "
        "(604, 11, #2021-04-09#, 'R1', 3, 3, 0, 102, 12, 1), "
        "(605, 4, #2021-04-09#, 'C4', 5, 3, 0, 104, 12, -8), "
        "(606, 4, #2021-04-06#, 'C5', 6, 1, 0, 101, 12, -99), "
        "(607, 4, #2021-04-06#, 'C6', 7, 3, 7, 101, 12, -99), "
        "(608, 4, #2021-04-05#, 'C1', 8, 3, 0, 101, 13, -20), "
        "(609, 4, #2021-05-02#, 'C7', 9, 3, 0, 101, 12, -3)");
    connection_.Open(connection_text());
  }

  Rows Run(std::string_view sql, const std::vector<std::string_view>& columns) {
    return rnt::testing::RowTexts(connection_, sql, columns);
  }

  db::Connection connection_;  // the add-on's own, as a run opens it
};

RNT_ON_FILE_AND_SERVER(RentRunQueries);

TEST_P(RentRunQueries, PreviousRentVoucherIsTheLatestOnOrBeforeTheSearchDate) {
  EXPECT_EQ(Run(PreviousRentVoucher("12", "05-Jun-2021"), {"vchcode", "date", "j"}),
            Rows{"502|31-05-2021|R2"});
  // Two vouchers on the latest date both come, the one marked 'Rental' first.
  EXPECT_EQ(Run(PreviousRentVoucher("12", "30-May-2021"), {"vchcode", "j"}),
            (Rows{"500|R1", "501|null"}));
  EXPECT_EQ(Run(PreviousRentVoucher("12", "29-Apr-2021"), {"vchcode"}), Rows{});
  EXPECT_EQ(Run(PreviousRentVoucher("13", "31-Dec-2021"), {"vchcode"}), Rows{"503"});
}

TEST_P(RentRunQueries, RatesComeFromThePartysOwnRowsOnly) {
  EXPECT_EQ(Run(RentRate("12", "101"), {"Value"}), Rows{"2.5"});
  EXPECT_EQ(Run(RentRate("13", "101"), {"Value"}), Rows{});
  EXPECT_EQ(Run(RentRate("50", "101"), {"Value"}), Rows{"1.75"});
  EXPECT_EQ(Run(ReplacementRate("12", "101"), {"Value3"}), Rows{"200"});
  EXPECT_EQ(Run(DamageCharge("12", "101"), {"Value3", "Value2"}), Rows{"200|0"});
}

TEST_P(RentRunQueries, LostAndDamagedLinesAreThoseMarkedForTheItemPartyAndDay) {
  EXPECT_THAT(Run(LostItems("101", "12", "09-Apr-2021"), {"desc1", "value1"}),
              UnorderedElementsAre("Lost|3", "L|2"));
  EXPECT_EQ(Run(DamagedItems("101", "12", "09-Apr-2021"), {"dsc2", "value1"}), Rows{"30|1"});
  EXPECT_EQ(Run(LostItems("101", "12", "08-Apr-2021"), {"value1"}), Rows{});
}

TEST_P(RentRunQueries, MovementsAreTheStockEntriesOfTheirPeriodItemAndVoucher) {
  // The opening entry (-1400) is not listed: the list admits only -14000.
  const Rows expected = {"05-04-2021|101|C1",  "05-04-2021|101|C2", "09-04-2021|101|R1",
                         "07-04-2021|102| C3", "09-04-2021|102|R1", "09-04-2021|104|C4"};
  Rows listed = Run(MovementList(MovementYear::kPrevious, "12", "30-Apr-2021"),
                    {"Date", "MasterCode1", "rno"});
  EXPECT_THAT(listed, UnorderedElementsAreArray(expected));
  // Item by item, day by day; two challans of one day may come in either order.
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(listed[i].substr(0, 14), expected[i].substr(0, 14));
  Rows with_references =
      Run(MovementList(MovementYear::kCurrent, "12", "30-Apr-2021"), {"rno", "Refcode"});
  EXPECT_THAT(with_references, ::testing::Contains("C1|1"));
  EXPECT_EQ(with_references.size(), expected.size());
  // An item's movements lie after the walk start up to the closing date.
  Rows moves = Run(ItemMovements("12", "101", "01-Apr-2021", "09-Apr-2021"), {"Date", "rno"});
  EXPECT_THAT(moves, UnorderedElementsAre("05-04-2021|C1", "05-04-2021|C2", "09-04-2021|R1"));
  EXPECT_EQ(moves.back(), "09-04-2021|R1");
  EXPECT_EQ(Run(ItemMovements("12", "101", "31-Mar-2021", "04-Apr-2021"), {"rno"}), Rows{"OP"});
  // The unlisted items' movements skip the items of the voucher.
  EXPECT_EQ(
      Run(UnlistedItemMovements("12", "01-Apr-2021", "30-Apr-2021", "500"), {"MasterCode1", "RNo"}),
      Rows{"104|C4"});
  EXPECT_EQ(
      Run(UnlistedItemMovements("12", "01-Apr-2021", "31-May-2021", "999"), {"MasterCode1"}).size(),
      7u);
}

TEST_P(RentRunQueries, TotalsSumIssuesAndReturnsOfTheDayOrOfTheChallan) {
  const std::vector<std::string_view> sums = {"a1", "a2"};
  EXPECT_EQ(Run(DayTotalsByDate("05-04-2021", "12", "101"), {"MasterCode1", "a1", "a2"}),
            Rows{"101|-15|null"});
  EXPECT_EQ(Run(DayTotalsByDate("01-Apr-2021", "12", "101"), sums), Rows{"null|-7"});
  // The day's first row need not be a stock entry of its own: its sums still are.
  EXPECT_EQ(Run(DayTotalsByDate("06-04-2021", "12", "101"), {"a1"}), Rows{"-99"});
  EXPECT_EQ(Run(DayTotalsByDate("08-04-2021", "12", "101"), {"a1"}), Rows{});
  EXPECT_EQ(Run(DayTotalsByReference("1", "05-Apr-2021", "12", "101"), sums), Rows{"-10|null"});
  EXPECT_EQ(Run(DayTotalsByReference("3", "09-Apr-2021", "12", "101"), sums), Rows{"null|4"});
  // Challan totals count only their own voucher number.
  EXPECT_EQ(Run(ChallanTotals("C2", "05-04-2021", "12", "101"), sums), Rows{"-5|null"});
  EXPECT_EQ(Run(ChallanTotals("O'Neil", "05-04-2021", "12", "101"), sums), Rows{"null|null"});
  // The look-ahead compares numbers without their leading blanks and takes
  // every return of the day.
  EXPECT_EQ(Run(LookAheadTotals("C3", "07-04-2021", "12", "102"), sums), Rows{"-6|null"});
  EXPECT_EQ(Run(LookAheadTotals("C4", "09-04-2021", "12", "102"), sums), Rows{"null|1"});
}

TEST_P(RentRunQueries, VoucherItemsTakeTheLastLineOfEachListedItem) {
  EXPECT_THAT(Run(VoucherItems("500"), {"MasterCode1", "s", "cls", "chno", "chdate", "VchNo"}),
              UnorderedElementsAre("101|2|5| C1 |05-04-2021|R-1", "102|3|2|C3|07-04-2021|R-1"));
}

TEST_P(RentRunQueries, QuotedValuesCannotChangeAStatement) {
  Execute("Create Table if not exists atShut (SrNo float, Uname varchar(40))");
  Execute("Insert Into atShut values (1, 'O''Brien'), (2, 'Obrien'), (3, 'x')");
  connection_.Execute(DeleteUserLines("O'Brien"));
  connection_.Execute(DeleteUserLines("x' or '1'='1"));
  EXPECT_EQ(Run("select Uname from atShut order by SrNo", {"Uname"}), (Rows{"Obrien", "x"}));
}

}  // namespace
}  // namespace rnt::engine::queries
