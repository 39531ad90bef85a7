#include "cli/billing_checks.h"

#include <map>
#include <vector>

#include "refhost/item_names.h"
#include "refhost/rent_lines.h"
#include "rnt/value_text.h"

namespace rnt::cli {

std::optional<refhost::PostedRentVoucher> BilledAlready(const refhost::CompanyFiles& files,
                                                        std::int32_t party_code,
                                                        std::string_view party_name, Date rent_date,
                                                        Date search_date, std::ostream& err) {
  auto latest = [&](std::optional<Date> on_or_before) -> std::optional<refhost::PostedRentVoucher> {
    auto found = refhost::LatestRentVouchers(files, on_or_before, party_code);
    if (found.empty()) return std::nullopt;
    return found.begin()->second;
  };
  const std::optional<refhost::PostedRentVoucher> continued = latest(search_date);
  if (continued && rent_date.AddDays(-1) <= continued->billed_up_to) return continued;
  const std::optional<refhost::PostedRentVoucher> last = latest(std::nullopt);
  if (last && (!continued || last->billed_up_to > continued->billed_up_to)) {
    err << "rnt0417: warning: rent for " << party_name << " is billed up to "
        << ShortDateText(last->billed_up_to) << " by rent voucher " << last->code
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

bool WarnOfNegativeBalances(const refhost::CompanyFiles& files, std::string_view user,
                            std::string_view party_name, std::ostream& err) {
  refhost::YearFile company(files.CurrentYear(), refhost::YearFile::Indexes::kLeaveAsIs);
  const std::vector<refhost::NegativeBalance> negative =
      refhost::NegativeBalances(company.Connection(), user);
  if (negative.empty()) return false;
  const std::map<std::string, std::string> names = refhost::ItemNames(company.Connection());
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
