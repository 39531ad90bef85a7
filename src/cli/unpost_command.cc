#include "cli/bills_command.h"
#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "refhost/cancel_voucher.h"
#include "refhost/master_names.h"
#include "refhost/posted_vouchers.h"
#include "rnt/value_text.h"

namespace rnt::cli {

int UnpostBill(const UnpostOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the rent voucher could not be cancelled", [&] {
    const std::optional<Date> year_start = CheckCompanyValues(options);
    const refhost::CompanyData company = FindCompanyYears(options, year_start, std::nullopt, err);
    db::Connection& year = company.current()->Connection();
    refhost::CancelledRentVoucher cancelled;
    try {
      cancelled = refhost::CancelRentVoucher(year, options.voucher);
    } catch (const refhost::NoSuchVoucher& error) {
      throw CommandLineError("--voucher: " + std::string(error.what()) + " in " +
                             company.current()->name());
    } catch (const refhost::VoucherKept& error) {
      err << "rnt0417: not cancelled: " << error.what() << "\n";
      return kRentDateRefused;
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    // Said after the fact: the voucher is gone whatever these reads meet.
    std::string party = "party " + std::to_string(cancelled.party_code);
    std::string goes_on = "its whole history";
    try {
      party = refhost::PartyName(year, cancelled.party_code);
      const auto before = refhost::LatestRentVouchers(company, std::nullopt, cancelled.party_code);
      if (auto found = before.find(cancelled.party_code); found != before.end()) {
        goes_on = "rent voucher " + std::to_string(found->second.code) + " of " +
                  ShortDateText(found->second.billed_up_to);
      }
    } catch (const Error&) {
      goes_on = "the voucher before, if any";
    }
    out << "cancelled rent voucher " << options.voucher << " of " << party << " (rent billed up to "
        << ShortDateText(cancelled.billed_up_to) << "); the next bill goes on from " << goes_on
        << "\n";
    return kRunFinished;
  });
}

}  // namespace rnt::cli
