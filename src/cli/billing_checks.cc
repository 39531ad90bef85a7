#include "cli/billing_checks.h"

#include <map>
#include <vector>

#include "cli/money.h"
#include "cli/run_values.h"
#include "cli/statement_items.h"
#include "refhost/carried_quantities.h"
#include "refhost/master_names.h"
#include "refhost/rent_lines.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// "Plates (101)", or "item 101" for an item without a name.
std::string ItemText(const std::map<std::string, std::string>& names, const std::string& code) {
  auto name = names.find(code);
  return name == names.end() || name->second.empty() ? "item " + code
                                                     : name->second + " (" + code + ")";
}

}  // namespace

PostedVouchers FindPostedVouchers(const refhost::CompanyData& company, Date search_date,
                                  std::optional<std::int32_t> only) {
  return {refhost::LatestRentVouchers(company, search_date, only),
          refhost::LatestRentVouchers(company, std::nullopt, only)};
}

std::optional<refhost::PostedRentVoucher> BilledAlready(const PostedVouchers& vouchers,
                                                        const refhost::Party& party, Date rent_date,
                                                        Date search_date, std::ostream& err) {
  auto continued = vouchers.continued_from.find(party.code);
  const bool continues = continued != vouchers.continued_from.end();
  if (continues && rent_date.AddDays(-1) <= continued->second.billed_up_to) {
    return continued->second;
  }
  auto last = vouchers.latest.find(party.code);
  if (last != vouchers.latest.end() &&
      (!continues || last->second.billed_up_to > continued->second.billed_up_to)) {
    err << "rnt0417: warning: rent for " << party.name << " is billed up to "
        << ShortDateText(last->second.billed_up_to) << " by rent voucher " << last->second.code
        << " already; from the search date " << ShortDateText(search_date)
        << " this run bills days of that period again\n";
  }
  return std::nullopt;
}

std::string RefusalFormText(const refhost::PostedRentVoucher& voucher) {
  return "Invalid Data !! Rent are Allready Calculated On " +
         FormatDate(voucher.billed_up_to, "dd-mmm-yyyy") + " Please Select Another Date";
}

std::string AlreadyBilledText(std::string_view party_name,
                              const refhost::PostedRentVoucher& voucher) {
  return "rent for " + std::string(party_name) + " is already billed up to " +
         ShortDateText(voucher.billed_up_to) + " by rent voucher " + std::to_string(voucher.code) +
         "; choose a later rent date";
}

bool WarnOfNegativeBalances(const refhost::CompanyData& company, std::string_view user,
                            std::string_view party_name, std::ostream& err) {
  db::Connection& current = company.current()->Connection();
  const std::vector<refhost::NegativeBalance> negative = refhost::NegativeBalances(current, user);
  if (negative.empty()) return false;
  const std::map<std::string, std::string> names = refhost::ItemNames(current);
  for (const refhost::NegativeBalance& balance : negative) {
    err << "rnt0417: warning: " << party_name << " holds " << ItemText(names, balance.item)
        << " down to " << NumberText(balance.lowest)
        << ", less than nothing: are the challans of a year missing (is the previous year's file "
           "there)?\n";
  }
  return true;
}

void WarnOfChangedChallans(const refhost::CompanyData& company, const PostedVouchers& vouchers,
                           const refhost::Party& party, std::ostream& err) {
  auto voucher = vouchers.continued_from.find(party.code);
  if (voucher == vouchers.continued_from.end()) return;
  std::vector<refhost::CarriedDifference> differences;
  std::map<std::string, std::string> names;
  try {
    differences = refhost::CarriedDifferences(company, party.code, voucher->second);
    if (differences.empty()) return;
    names = refhost::ItemNames(company.current()->Connection());
  } catch (const Error& error) {
    throw RunError("cannot compare rent voucher " + std::to_string(voucher->second.code) + " of " +
                   party.name + " with its challans: " + error.what());
  }
  const std::string on = ShortDateText(voucher->second.billed_up_to);
  for (const refhost::CarriedDifference& item : differences) {
    err << "rnt0417: warning: " << party.name << ": rent voucher " << voucher->second.code << " of "
        << on << " carries " << NumberText(item.carried) << " "
        << ItemText(names, std::to_string(item.item)) << ", but the challans up to " << on
        << " give " << NumberText(item.held)
        << ": a challan was changed after the voucher was posted, and this bill goes on from the "
           "voucher's "
        << NumberText(item.carried) << "\n";
  }
}

void WarnOfUnchargedPieces(const refhost::CompanyData& company, std::string_view user,
                           std::string_view party_name, std::ostream& err) {
  db::Connection& current = company.current()->Connection();
  struct Uncharged {
    double quantity;
    bool lost;
    std::string item;
  };
  std::vector<Uncharged> uncharged;
  refhost::ForEachRentLine(current, user, [&](const refhost::RentLine& line) {
    const double rec_type = LineNumber(line, "RecType").value_or(0);
    if (rec_type != kLostLine && rec_type != kDamagedLine) return;
    if (PrintedHundredths(LineNumber(line, "Qty2").value_or(0)) != 0) return;
    const std::optional<double> code = LineNumber(line, "Code1");
    uncharged.push_back({LineNumber(line, "Qty").value_or(0), rec_type == kLostLine,
                         code ? NumberText(*code) : std::string("without a code")});
  });
  if (uncharged.empty()) return;
  const std::map<std::string, std::string> names = refhost::ItemNames(current);
  for (const Uncharged& pieces : uncharged) {
    err << "rnt0417: warning: " << party_name << ": " << NumberText(pieces.quantity)
        << (pieces.lost ? " lost " : " damaged ") << ItemText(names, pieces.item)
        << (pieces.quantity == 1 ? " is" : " are")
        << " charged 0.00: the item has no value (Value3) for the party or its rate master\n";
  }
}

}  // namespace rnt::cli
