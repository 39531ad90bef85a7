#pragma once

#include <cstdint>
#include <vector>

#include "refhost/company_files.h"
#include "refhost/posted_vouchers.h"

namespace rnt::refhost {

// An item whose quantity carried on a rent voucher is not what the party's
// challans up to the voucher's date give: a challan changed (or added, or
// removed) after the voucher was posted.
struct CarriedDifference {
  std::int32_t item = 0;
  double carried = 0;  // the voucher's quantity (Desc6 of the item's last line)
  double held = 0;     // issued less returned by the challans up to its date
};

// Compares the party's rent voucher with its challans. The voucher is read
// from the year that holds its date; the challans from the earliest year at
// hand up to the voucher's date, that year counted from its opening entries
// (a later year's opening entries repeat what an earlier year's challans
// gave). Items the voucher carries nothing of and the challans leave nothing
// of do not differ. Throws rnt::Error when a year cannot be read.
std::vector<CarriedDifference> CarriedDifferences(const CompanyData& company,
                                                  std::int32_t party_code,
                                                  const PostedRentVoucher& voucher);

}  // namespace rnt::refhost
