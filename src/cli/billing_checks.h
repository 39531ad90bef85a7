#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "refhost/company_files.h"
#include "refhost/parties.h"
#include "refhost/posted_vouchers.h"
#include "rnt/date.h"

namespace rnt::cli {

// The parties' rent vouchers as a command's runs find them: each party's
// latest one dated on or before the search date, which a run continues from,
// and its latest one of all.
struct PostedVouchers {
  std::map<std::int32_t, refhost::PostedRentVoucher> continued_from;
  std::map<std::int32_t, refhost::PostedRentVoucher> latest;
};

// Reads them for every party, or for the party `only`. Throws rnt::Error when
// the company's data cannot be read.
PostedVouchers FindPostedVouchers(const refhost::CompanyData& company, Date search_date,
                                  std::optional<std::int32_t> only);

// The party's rent voucher that bills the rent date already, if any: the one
// that its run continues from, when that bills the party up to the day before
// the rent date or later, so that the run would bill no day or days twice.
// When the date is not billed but the party has a later voucher than that one
// (the run has an earlier search date), the run would bill that voucher's days
// again: it is allowed, with a warning on `err`.
std::optional<refhost::PostedRentVoucher> BilledAlready(const PostedVouchers& vouchers,
                                                        const refhost::Party& party, Date rent_date,
                                                        Date search_date, std::ostream& err);

// The message form's text of a refused rent date, as the add-on shows it.
std::string RefusalFormText(const refhost::PostedRentVoucher& voucher);

// The same refusal said plainly: "rent for PARTY is already billed up to
// DD-MM-YYYY by rent voucher N; choose a later rent date".
std::string AlreadyBilledText(std::string_view party_name,
                              const refhost::PostedRentVoucher& voucher);

// Warns on `err`, one line per item named by its name, of the items whose
// balance goes negative in the user's rent lines of the party, which usually
// means that a year's challans are missing. Returns whether there were any.
bool WarnOfNegativeBalances(const refhost::CompanyData& company, std::string_view user,
                            std::string_view party_name, std::ostream& err);

// Warns on `err`, one line per item named by its name, of the items whose
// quantity carried on the party's rent voucher that its run continues from
// is not what the challans up to the voucher's date give: a challan of that
// time was changed after the voucher was posted, and the bill goes on from
// the voucher's quantity. Throws RunError when the company cannot be read.
void WarnOfChangedChallans(const refhost::CompanyData& company, const PostedVouchers& vouchers,
                           const refhost::Party& party, std::ostream& err);

// Warns on `err`, one line per line, of the user's lost and damage lines of
// the party that charge 0.00: the item has no value (Value3) for the party or
// its rate master, so pieces the party kept go unbilled. Throws rnt::Error
// for a number column of a line that is not a number.
void WarnOfUnchargedPieces(const refhost::CompanyData& company, std::string_view user,
                           std::string_view party_name, std::ostream& err);

}  // namespace rnt::cli
