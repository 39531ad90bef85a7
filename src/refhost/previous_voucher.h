#pragma once

#include <cstdint>
#include <optional>

#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// A rent voucher posted for a party: a statement continues from one and is
// numbered by the one it was posted as.
struct PostedVoucher {
  std::int32_t code;  // Tran1.VchCode, the number that every message gives
  Date date;
};

// The rent voucher that a rent run continues from, found as the run finds it:
// the party's latest rent voucher (VchType 9) dated on or before the search
// date in the current year, else in the previous year's file when the company
// has one; nullopt when there is none, and the run bills the party's whole
// history. Throws rnt::Error when the current year cannot be read.
std::optional<PostedVoucher> PreviousRentVoucher(const CompanyFiles& files, std::int32_t party_code,
                                                 Date search_date);

}  // namespace rnt::refhost
