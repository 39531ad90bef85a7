// Rent runs of generated party histories, checked the way a clerk with a
// calendar and the challans would check a bill: nothing moved goes unbilled,
// no period runs backwards, and how the challans were split makes no
// difference to what is owed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "host/company_context.h"
#include "rnt/value_text.h"
#include "scenarios/history.h"

namespace rnt::testing {
namespace {

// Where a bill continues from: nothing (the party's whole history), or a rent
// voucher in the previous or the current financial year.
enum class Start { kWholeHistory, kPreviousYearVoucher, kCurrentYearVoucher };

const Date kRentDate = Date::FromYmd(2021, 7, 1);
const Date kClosingDate = kRentDate.AddDays(-1);

// What one item's lines of a bill add up to.
struct ItemBill {
  double quantity_days = 0;
  double amount = 0;
  double balance = 0;  // after the item's last rent line
  double lost = 0;
  double damaged = 0;
  std::vector<std::string> periods;  // SrNo, from, to, held before and after, days
};

double NumberIn(const refhost::RentLine& line, const char* column) {
  Variant value = line.Get(column);
  return value.IsNull() ? 0 : value.ToDouble();
}

std::map<int32_t, ItemBill> Bills(const RentRun& run) {
  std::map<int32_t, ItemBill> bills;
  for (const refhost::RentLine& line : run.lines) {
    ItemBill& bill = bills[static_cast<int32_t>(NumberIn(line, "Code1"))];
    bill.amount += NumberIn(line, "Qty2");
    const double kind = NumberIn(line, "RecType");
    if (kind == 2) bill.lost += NumberIn(line, "Qty");
    if (kind == 3) bill.damaged += NumberIn(line, "Qty");
    if (kind != 1) continue;
    bill.quantity_days += NumberIn(line, "Qty");
    bill.balance = NumberIn(line, "D4");
    std::string period;
    for (const char* column : {"SrNo", "Dte1", "Dte2", "D3", "D4", "Days"}) {
      Variant value = line.Get(column);
      period += (value.IsNull() ? "-" : value.ToText()) + " ";
    }
    bill.periods.push_back(period);
  }
  return bills;
}

// A rent voucher's day for the seed: a day without lost or damaged pieces
// (those of the voucher's own day belong to the bill that made the voucher).
Date VoucherDay(const History& history, Start start, uint32_t seed) {
  Date from = start == Start::kPreviousYearVoucher ? history.first_day.AddDays(20)
                                                   : history.year_start.AddDays(5);
  Date day = from.AddDays(static_cast<int32_t>(seed % 50));
  while (history.MarksPiecesOn(day)) day = day.AddDays(1);
  return day;
}

class GeneratedHistories : public ::testing::TestWithParam<Storage> {
 protected:
  void SetUp() override {
    if (GetParam() == Storage::kServer && !ServerCopy().available()) {
      GTEST_SKIP() << "no test database server";
    }
  }
  void TearDown() override { host::ResetThreadCompanyContext(); }

  // The history billed up to the closing date from `start`, on company files
  // of its own.
  RentRun Bill(const History& history, Start start, uint32_t seed) {
    return Bill(history, start, seed, GetParam());
  }
  RentRun Bill(const History& history, Start start, uint32_t seed, Storage storage) {
    host::ResetThreadCompanyContext();
    const Scenario company = MakeCompany(CaseOf(
        history, start == Start::kWholeHistory ? std::nullopt
                                               : std::optional(VoucherDay(history, start, seed))));
    ServerCopy server;
    return MakeRentRun({.current = company.current.get(),
                        .previous = company.previous.get(),
                        .party = "Sharma Builders",
                        .rent_date = ShortDateText(kRentDate),
                        .server = storage == Storage::kServer ? &server : nullptr});
  }

  // Seeds run on each storage: many on files, a few on the server, whose
  // runs cost a copy of the company each.
  uint32_t Seeds() const { return GetParam() == Storage::kFile ? 40 : 4; }
};

// Each history billed from each start, whole and with its challans split:
// every line sound, every balance and lost or damaged piece as the challans
// say, and the split bill owing exactly what the whole one owes.
TEST_P(GeneratedHistories, EveryMovementIsBilledOnceAndSplittingAChallanChangesNothing) {
  int bills = 0;
  for (uint32_t seed = 1; seed <= Seeds(); ++seed) {
    const History history = GenerateHistory(seed);
    for (Start start :
         {Start::kWholeHistory, Start::kPreviousYearVoucher, Start::kCurrentYearVoucher}) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", start " +
                   std::to_string(static_cast<int>(start)));
      RentRun run = Bill(history, start, seed);
      ASSERT_EQ(run.report.FirstDatabaseFailure(), nullptr);
      ++bills;
      if (GetParam() == Storage::kServer) {
        // The bill on the files: the same lines in the same order, naming the
        // same challans.
        std::vector<std::string> on_server, on_files;
        for (const auto& line : run.lines) on_server.push_back(Describe(line));
        for (const auto& line : Bill(history, start, seed, Storage::kFile).lines) {
          on_files.push_back(Describe(line));
        }
        EXPECT_EQ(on_server, on_files);
      }
      for (const refhost::RentLine& line : run.lines) {
        EXPECT_GE(NumberIn(line, "Qty2"), 0) << Describe(line);
        if (NumberIn(line, "RecType") != 1) continue;
        EXPECT_GE(NumberIn(line, "Days"), 0) << Describe(line);
        std::optional<Date> from = ParseDateText(line.Get("Dte1").ToText());
        std::optional<Date> to = ParseDateText(line.Get("Dte2").ToText());
        ASSERT_TRUE(from && to) << Describe(line);
        EXPECT_LE(*from, *to) << Describe(line);
      }
      // Balances: what the voucher carried and everything moved after it,
      // which is everything moved up to the closing date.
      std::map<int32_t, ItemBill> whole = Bills(run);
      for (const auto& [item, balance] : history.BalancesUpTo(kClosingDate)) {
        EXPECT_EQ(whole[item].balance, balance) << "item " << item;
      }
      // Lost and damaged pieces: those marked after the voucher.
      const Date after = start == Start::kWholeHistory ? history.first_day.AddDays(-1)
                                                       : VoucherDay(history, start, seed);
      using Kind = HistoryEntry::Kind;
      for (const auto& [item, pieces] : history.PiecesBetween(Kind::kLost, after, kClosingDate)) {
        EXPECT_EQ(whole[item].lost, pieces) << "lost pieces of item " << item;
      }
      for (const auto& [item, pieces] :
           history.PiecesBetween(Kind::kDamaged, after, kClosingDate)) {
        EXPECT_EQ(whole[item].damaged, pieces) << "damaged pieces of item " << item;
      }
      std::map<int32_t, ItemBill> divided = Bills(Bill(SplitChallans(history, seed), start, seed));
      ASSERT_EQ(whole.size(), divided.size());
      for (const auto& [item, bill] : whole) {
        EXPECT_NEAR(bill.amount, divided[item].amount, 1e-6) << "item " << item;
        EXPECT_EQ(bill.quantity_days, divided[item].quantity_days) << "item " << item;
        EXPECT_EQ(bill.periods, divided[item].periods) << "item " << item;
      }
    }
  }
  std::printf("[ generated ] %d bills checked, each against its split challans\n", bills);
}

INSTANTIATE_TEST_SUITE_P(Storage, GeneratedHistories,
                         ::testing::Values(Storage::kFile, Storage::kServer), StorageName);

}  // namespace
}  // namespace rnt::testing
