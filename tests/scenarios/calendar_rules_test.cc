// Bills of generated party histories under the calendar day rules, held
// against the pieces held each day as the challans alone give them: every
// day charged once for what the rule says, no day charged on nothing, and
// billing in two steps, on either side of the year end, or from split
// challans owing exactly what one bill owes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "host/company_context.h"
#include "rnt/value_text.h"
#include "scenarios/history.h"

namespace rnt::testing {
namespace {

const Date kRentDate = Date::FromYmd(2021, 7, 1);

struct RuleCase {
  std::string rule;
  Storage storage;
};

// What a day is charged, from the pieces held at its start and those that
// went out and came back on it, as a clerk counts with a calendar.
double ChargedOnDay(const std::string& rule, double held, double in, double out) {
  if (rule == "both days") return held + in;
  return held + in - out + std::min(in, std::max(0.0, out - held));
}

// Each item's quantity-days per day from `from` to `to`, from the challans.
std::map<int32_t, std::map<Date, double>> DayByDay(const History& history, const std::string& rule,
                                                   Date from, Date to) {
  std::map<int32_t, std::map<Date, double>> charged;
  for (int32_t item : history.items) {
    double held = 0;
    for (Date day = history.first_day; day <= to; day = day.AddDays(1)) {
      double in = 0, out = 0;
      for (const HistoryEntry& entry : history.entries) {
        if (entry.item != item || entry.day != day) continue;
        (entry.kind == HistoryEntry::Kind::kIssue ? in : out) += entry.quantity;
      }
      if (day >= from) charged[item][day] = ChargedOnDay(rule, held, in, out);
      held += in - out;
    }
  }
  return charged;
}

double NumberIn(const refhost::RentLine& line, const char* column) {
  Variant value = line.Get(column);
  return value.IsNull() ? 0 : value.ToDouble();
}

// An item's rent lines of a bill: quantity-days and amount, and each day
// with the pieces charged on it.
struct ItemCharge {
  double quantity_days = 0;
  double amount = 0;
  std::map<Date, double> days;
};

class CalendarRules : public ::testing::TestWithParam<RuleCase> {
 protected:
  void SetUp() override {
    if (GetParam().storage == Storage::kServer && !ServerCopy().available()) {
      GTEST_SKIP() << "no test database server";
    }
  }
  void TearDown() override { host::ResetThreadCompanyContext(); }

  // The history billed for `rent_date`, continuing from a rent voucher of
  // `voucher_day` when there is one.
  std::map<int32_t, ItemCharge> Bill(const History& history, Date rent_date,
                                     std::optional<Date> voucher_day) {
    host::ResetThreadCompanyContext();
    CaseCompany company = CaseOf(history, voucher_day);
    company.day_rule = GetParam().rule;
    const Scenario scenario = MakeCompany(company);
    ServerCopy server;
    // A bill whose last day lies in the previous year is made on that year.
    const bool in_previous_year = rent_date.AddDays(-1) < history.year_start;
    RentRun run =
        MakeRentRun({.current = in_previous_year ? scenario.previous.get() : scenario.current.get(),
                     .previous = in_previous_year ? nullptr : scenario.previous.get(),
                     .party = "Sharma Builders",
                     .rent_date = ShortDateText(rent_date),
                     .server = GetParam().storage == Storage::kServer ? &server : nullptr});
    EXPECT_EQ(run.report.FirstDatabaseFailure(), nullptr);
    std::map<int32_t, ItemCharge> charges;
    for (const refhost::RentLine& line : run.lines) {
      if (NumberIn(line, "RecType") != 1) continue;
      ItemCharge& charge = charges[static_cast<int32_t>(NumberIn(line, "Code1"))];
      const double days = NumberIn(line, "Days");
      charge.quantity_days += NumberIn(line, "Qty");
      charge.amount += NumberIn(line, "Qty2");
      if (days == 0) {
        EXPECT_EQ(NumberIn(line, "Qty"), 0) << Describe(line);
        continue;
      }
      std::optional<Date> from = ParseDateText(line.Get("Dte1").ToText());
      std::optional<Date> to = ParseDateText(line.Get("Dte2").ToText());
      if (!from || !to) {
        ADD_FAILURE() << "a line without its period: " << Describe(line);
        continue;
      }
      EXPECT_EQ(days, DaysBetween(*from, *to) + 1) << Describe(line);
      for (Date day = *from; day <= *to; day = day.AddDays(1)) {
        EXPECT_EQ(charge.days.count(day), 0u)
            << "charged twice on " << ShortDateText(day) << ": " << Describe(line);
        charge.days[day] = NumberIn(line, "Qty") / days;
      }
    }
    return charges;
  }

  // Seeds on each storage: many on files, a few on the server, whose runs
  // cost a copy of the company each.
  uint32_t Seeds() const { return GetParam().storage == Storage::kFile ? 30 : 3; }
};

// Pieces held each day, by the rule: what one bill charges, day by day.
void ExpectDayByDay(const std::map<int32_t, ItemCharge>& bill,
                    const std::map<int32_t, std::map<Date, double>>& expected) {
  for (const auto& [item, days] : expected) {
    const auto charged = bill.find(item);
    double quantity_days = 0;
    for (const auto& [day, pieces] : days) {
      quantity_days += pieces;
      const double billed = charged == bill.end() || !charged->second.days.count(day)
                                ? 0
                                : charged->second.days.at(day);
      EXPECT_EQ(billed, pieces) << "item " << item << " on " << ShortDateText(day);
    }
    EXPECT_EQ(charged == bill.end() ? 0 : charged->second.quantity_days, quantity_days)
        << "item " << item;
  }
}

TEST_P(CalendarRules, EveryDayChargedOnceForWhatWasHeldWhateverTheSteps) {
  const std::string& rule = GetParam().rule;
  int bills = 0;
  for (uint32_t seed = 1; seed <= Seeds(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const History history = GenerateHistory(seed);
    const Date closing = kRentDate.AddDays(-1);
    std::map<int32_t, ItemCharge> whole = Bill(history, kRentDate, std::nullopt);
    ExpectDayByDay(whole, DayByDay(history, rule, history.first_day, closing));

    std::map<int32_t, ItemCharge> split = Bill(SplitChallans(history, seed), kRentDate, {});
    for (const auto& [item, charge] : whole) {
      EXPECT_EQ(split[item].quantity_days, charge.quantity_days) << "split, item " << item;
    }
    bills += 2;

    // Posted at a voucher in either year, then billed on: the same as one bill.
    for (Date voucher : {history.first_day.AddDays(20 + static_cast<int32_t>(seed % 50)),
                         history.year_start.AddDays(5 + static_cast<int32_t>(seed % 50))}) {
      SCOPED_TRACE("voucher of " + ShortDateText(voucher));
      std::map<int32_t, ItemCharge> first = Bill(history, voucher.AddDays(1), std::nullopt);
      ExpectDayByDay(first, DayByDay(history, rule, history.first_day, voucher));
      std::map<int32_t, ItemCharge> then = Bill(history, kRentDate, voucher);
      ExpectDayByDay(then, DayByDay(history, rule, voucher.AddDays(1), closing));
      for (const auto& [item, charge] : whole) {
        EXPECT_EQ(first[item].quantity_days + then[item].quantity_days, charge.quantity_days)
            << "item " << item;
        // The rates are kept in the current year's file only.
        if (voucher >= history.year_start) {
          EXPECT_NEAR(first[item].amount + then[item].amount, charge.amount, 1e-6)
              << "item " << item;
        }
      }
      bills += 2;
    }
  }
  std::printf("[ calendar  ] %s: %d bills checked day by day\n", rule.c_str(), bills);
}

INSTANTIATE_TEST_SUITE_P(Rules, CalendarRules,
                         ::testing::Values(RuleCase{"both days", Storage::kFile},
                                           RuleCase{"end of day", Storage::kFile},
                                           RuleCase{"both days", Storage::kServer},
                                           RuleCase{"end of day", Storage::kServer}),
                         [](const ::testing::TestParamInfo<RuleCase>& info) {
                           std::string name =
                               info.param.rule == "both days" ? "BothDays" : "EndOfDay";
                           return name +
                                  (info.param.storage == Storage::kFile ? "_File" : "_Server");
                         });

}  // namespace
}  // namespace rnt::testing
