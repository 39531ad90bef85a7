#include "cli/bills_command.h"

#include <fmt/format.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <regex>
#include <vector>

#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "cli/money.h"
#include "cli/party_lookup.h"
#include "db/recordset.h"
#include "refhost/kept_bills.h"
#include "refhost/master_names.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

constexpr std::int32_t kRentVoucherType = 9;

// The first and last day of the month that --month names.
std::pair<Date, Date> MonthOption(const std::string& text) {
  static const std::regex kMonth(R"((\d{2})-(\d{4}))");
  std::smatch parts;
  const bool matched = std::regex_match(text, parts, kMonth);
  const int month = matched ? std::stoi(parts[1]) : 0;
  const int year = matched ? std::stoi(parts[2]) : 0;
  if (month < 1 || month > 12 || year < 100 || year > 9998) {
    throw CommandLineError("--month: not a month: '" + text + "' (expected MM-YYYY)");
  }
  const Date first = Date::FromYmd(year, month, 1);
  const Date next = month == 12 ? Date::FromYmd(first.year() + 1, 1, 1)
                                : Date::FromYmd(first.year(), month + 1, 1);
  return {first, next.AddDays(-1)};
}

// One posted rent voucher as the list shows it; the period's first day, the
// amount and the time of posting are known for bills kept with their voucher.
struct ListedBill {
  std::int32_t voucher = 0;
  std::string party;
  std::optional<Date> first_day;
  Date last_day;
  std::optional<Hundredths> amount;
  std::string posted_at;
};

std::vector<ListedBill> PostedBills(db::Connection& year, std::optional<std::int32_t> party,
                                    std::optional<std::pair<Date, Date>> month) {
  std::string sql = "select VchCode, MasterCode1, Date from Tran1 where VchType=" +
                    std::to_string(kRentVoucherType) + " and VchCode>0";
  if (party) sql += " and MasterCode1=" + std::to_string(*party);
  if (month) {
    sql += " and Date>=#" + FormatDate(month->first, "dd-mmm-yyyy") + "# and Date<=#" +
           FormatDate(month->second, "dd-mmm-yyyy") + "#";
  }
  const std::map<std::int32_t, refhost::KeptBillHead> kept = refhost::ReadKeptBillHeads(year);
  std::vector<std::pair<std::int32_t, std::int32_t>> party_of;
  std::vector<ListedBill> bills;
  {
    db::Recordset rows;
    rows.Open(sql + " order by Date, VchCode", year);
    for (; !rows.Eof(); rows.MoveNext()) {
      if (rows.Field("Date").IsNull() || !rows.Field("MasterCode1").IsNumber()) continue;
      ListedBill bill{rows.Field("VchCode").ToInt32(), {}, {}, rows.Field("Date").ToDate(), {}, {}};
      party_of.emplace_back(bill.voucher, rows.Field("MasterCode1").ToInt32());
      bills.push_back(std::move(bill));
    }
  }
  std::map<std::int32_t, std::string> names;  // Master1's, for vouchers without a kept bill
  for (size_t i = 0; i < bills.size(); ++i) {
    ListedBill& bill = bills[i];
    if (auto head = kept.find(bill.voucher); head != kept.end()) {
      bill.party = head->second.party;
      bill.first_day = head->second.first_day;
      bill.amount = head->second.total_hundredths;
      bill.posted_at = head->second.posted_at;
      continue;
    }
    const std::int32_t code = party_of[i].second;
    if (!names.contains(code)) {
      try {
        names[code] = refhost::PartyName(year, code);
      } catch (const DatabaseUnavailable&) {
        throw;
      } catch (const Error&) {
        names[code] = "party " + std::to_string(code);  // no longer in Master1
      }
    }
    bill.party = names[code];
  }
  return bills;
}

std::string PeriodText(const ListedBill& bill) {
  return (bill.first_day ? ShortDateText(*bill.first_day) : std::string("?")) + " to " +
         ShortDateText(bill.last_day);
}

// "01-05-2024 10:15" for "2024-05-01 10:15:02".
std::string PostedText(const std::string& posted_at) {
  static const std::regex kTime(R"((\d{4})-(\d{2})-(\d{2}) (\d{2}:\d{2}).*)");
  std::smatch parts;
  if (!std::regex_match(posted_at, parts, kTime)) return posted_at.empty() ? "-" : posted_at;
  return parts[3].str() + "-" + parts[2].str() + "-" + parts[1].str() + " " + parts[4].str();
}

void PrintTable(const std::vector<ListedBill>& bills, std::ostream& out) {
  size_t party_width = 5, amount_width = 6;
  for (const ListedBill& bill : bills) {
    party_width = std::max(party_width, bill.party.size());
    if (bill.amount) amount_width = std::max(amount_width, HundredthsText(*bill.amount).size());
  }
  out << fmt::format("{:>7}  {:<{}}  {:<24}  {:>{}}  {}\n", "Voucher", "Party", party_width,
                     "Period", "Amount", amount_width, "Posted");
  for (const ListedBill& bill : bills) {
    out << fmt::format("{:>7}  {:<{}}  {:<24}  {:>{}}  {}\n", bill.voucher, bill.party, party_width,
                       PeriodText(bill), bill.amount ? HundredthsText(*bill.amount) : "-",
                       amount_width, PostedText(bill.posted_at));
  }
  if (bills.empty()) out << "no rent vouchers posted\n";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// Amounts for other programs: no digit grouping.
std::string PlainAmount(Hundredths amount) {
  return fmt::format("{}{}.{:02}", amount < 0 ? "-" : "", std::abs(amount) / 100,
                     std::abs(amount) % 100);
}

void PrintCsv(const std::vector<ListedBill>& bills, std::ostream& out) {
  out << "Voucher,Party,FirstDay,LastDay,Amount,PostedAt\n";
  for (const ListedBill& bill : bills) {
    out << bill.voucher << "," << CsvField(bill.party) << ","
        << (bill.first_day ? ShortDateText(*bill.first_day) : "") << ","
        << ShortDateText(bill.last_day) << "," << (bill.amount ? PlainAmount(*bill.amount) : "")
        << "," << bill.posted_at << "\n";
  }
}

void PrintJson(const std::vector<ListedBill>& bills, std::ostream& out) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ListedBill& bill : bills) {
    nlohmann::ordered_json item;
    item["Voucher"] = bill.voucher;
    item["Party"] = bill.party;
    item["FirstDay"] = bill.first_day ? nlohmann::ordered_json(ShortDateText(*bill.first_day))
                                      : nlohmann::ordered_json();
    item["LastDay"] = ShortDateText(bill.last_day);
    // A number with its two decimals as printed; null where nothing was kept.
    item["Amount"] = bill.amount ? nlohmann::ordered_json::parse(PlainAmount(*bill.amount))
                                 : nlohmann::ordered_json();
    item["PostedAt"] =
        bill.posted_at.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(bill.posted_at);
    list.push_back(std::move(item));
  }
  out << list.dump(2) << "\n";
}

}  // namespace

int ListBills(const BillsOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the bills could not be listed", [&] {
    const std::optional<Date> year_start = CheckCompanyValues(options);
    std::optional<std::pair<Date, Date>> month;
    if (options.month) month = MonthOption(*options.month);
    const refhost::CompanyData company = FindCompanyYears(options, year_start, std::nullopt, err);
    std::optional<std::int32_t> party;
    if (options.party) party = LookUpParty(company.current(), *options.party).code;
    std::vector<ListedBill> bills;
    try {
      bills = PostedBills(company.current()->Connection(), party, month);
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    if (options.format == "csv") {
      PrintCsv(bills, out);
    } else if (options.format == "json") {
      PrintJson(bills, out);
    } else {
      PrintTable(bills, out);
    }
    return kRunFinished;
  });
}

}  // namespace rnt::cli
