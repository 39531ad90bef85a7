#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// A party's rent voucher: the party's rent is billed up to the voucher's
// date, and its next rent run goes on from the day after.
struct PostedRentVoucher {
  std::int32_t code = 0;
  Date billed_up_to;
};

// The latest rent voucher of each party dated on or before `on_or_before`
// (of any date when nullopt), found the way a rent run finds its party's: in
// the current year's data, and for a party without one there, in the
// previous year's. Only the party `only` when it is given. Throws rnt::Error
// when the current year cannot be read, and rnt::DatabaseUnavailable when the
// previous year's data is there but cannot be read.
std::map<std::int32_t, PostedRentVoucher> LatestRentVouchers(
    const CompanyData& company, std::optional<Date> on_or_before,
    std::optional<std::int32_t> only = std::nullopt);

}  // namespace rnt::refhost
