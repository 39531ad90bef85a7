#include "cli/kept_statement.h"

#include <ctime>

#include "cli/statement_items.h"
#include "rnt/error.h"

namespace rnt::cli {

refhost::KeptBill KeptBillOf(const Statement& statement, std::int32_t voucher,
                             std::int32_t party_code, const std::string& posted_at) {
  const StatementHeader& header = statement.header;
  refhost::KeptBill bill;
  bill.head = {voucher,
               party_code,
               header.party,
               header.company,
               FirstDayBilled(statement),
               header.closing_day,
               header.continued_from,
               std::string(refhost::DayRuleText(header.day_rule)),
               std::string(refhost::AmountGroupingText(header.amount_grouping)),
               GrandTotal(statement),
               posted_at};
  bill.lines = statement.lines;
  // Only the names the bill's items had: a reprint shows them as posted.
  for (const refhost::RentLine& line : statement.lines) {
    const Variant code = line.Get("Code1");
    if (code.IsNull() || code.IsEmpty()) continue;
    const auto name = statement.item_names.find(code.ToText());
    if (name != statement.item_names.end()) bill.item_names.insert(*name);
  }
  bill.marked_pieces = statement.marked_pieces;
  // A day of one challan is named by its line; only days of several are kept.
  for (const auto& [item_and_day, challans] : statement.day_challans) {
    if (challans.size() > 1) bill.day_challans.emplace(item_and_day, challans);
  }
  return bill;
}

Statement PostedStatement(const refhost::KeptBill& bill) {
  const refhost::KeptBillHead& head = bill.head;
  const std::optional<refhost::DayRule> rule = refhost::ParseDayRule(head.day_rule);
  if (!rule) {
    throw Error("the bill kept with rent voucher " + std::to_string(head.voucher) +
                " names no day rule: '" + head.day_rule + "'");
  }
  return {{head.company, head.party, head.last_day, head.continued_from,
           refhost::PostedRentVoucher{head.voucher, head.last_day}, *rule,
           refhost::ParseAmountGrouping(head.amount_grouping)
               .value_or(refhost::AmountGrouping::kInternational)},
          bill.lines,
          bill.item_names,
          bill.marked_pieces,
          bill.day_challans};
}

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace rnt::cli
