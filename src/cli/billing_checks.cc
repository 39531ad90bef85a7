#include "cli/billing_checks.h"

#include <map>
#include <vector>

#include "refhost/master_names.h"
#include "refhost/rent_lines.h"
#include "rnt/value_text.h"

namespace rnt::cli {

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
    auto name = names.find(balance.item);
    err << "rnt0417: warning: " << party_name << " holds "
        << (name == names.end() ? "item " + balance.item : name->second + " (" + balance.item + ")")
        << " down to " << NumberText(balance.lowest)
        << ", less than nothing: are the challans of a year missing (is the previous year's file "
           "there)?\n";
  }
  return true;
}

}  // namespace rnt::cli
