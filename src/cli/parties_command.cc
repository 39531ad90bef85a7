#include "cli/parties_command.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <vector>

#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "refhost/parties.h"
#include "refhost/posted_vouchers.h"
#include "rnt/value_text.h"

namespace rnt::cli {

int ListParties(const CompanyOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the parties could not be listed", [&] {
    const refhost::CompanyData company =
        FindCompanyYears(options, CheckCompanyValues(options), std::nullopt, err);
    std::vector<refhost::Party> parties;
    std::map<std::int32_t, refhost::PostedRentVoucher> vouchers;
    try {
      parties = refhost::AllParties(company.current()->Connection());
      vouchers = refhost::LatestRentVouchers(company, std::nullopt);
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    size_t width = 5;
    for (const refhost::Party& party : parties) width = std::max(width, party.name.size());
    out << std::left << std::setw(static_cast<int>(width)) << "Party"
        << "  Last rent date  Billed up to  Rent voucher\n";
    for (const refhost::Party& party : parties) {
      out << std::setw(static_cast<int>(width)) << party.name;
      auto voucher = vouchers.find(party.code);
      if (voucher == vouchers.end()) {
        out << "  -\n";
        continue;
      }
      const Date billed_up_to = voucher->second.billed_up_to;
      out << "  " << std::setw(14) << ShortDateText(billed_up_to.AddDays(1)) << "  "
          << std::setw(12) << ShortDateText(billed_up_to) << "  " << voucher->second.code << "\n";
    }
    return kRunFinished;
  });
}

}  // namespace rnt::cli
