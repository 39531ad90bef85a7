#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// A delivery challan part of whose pieces are still at the party's site: its
// number (empty for a new year's opening entry, which carries the year
// before's balance), its date, and the pieces of it still out.
struct ChallanOut {
  std::string challan;
  Date day = Date::FromYmd(1900, 1, 1);
  double quantity = 0;
};

// What a party holds of an item at the end of a day, as its bill counts it,
// and the challans those pieces went out on, latest first (the earliest
// pieces are taken to come back first).
struct SiteHolding {
  std::int32_t party = 0;
  std::int32_t item = 0;
  double quantity = 0;
  std::vector<ChallanOut> challans;
};

// Every party's balance of every item at the end of `day` (only the party
// `only` when given), sorted by party and item code, counted as the rent
// run's day totals count them: issues and returns of the challans (Tran3
// VchType 4 and 11, TranType 5, 3 or 0) of both years, and the new year's
// opening entries (VchType 9, VchCode -1400) only where the previous year's
// data is not there to give that balance. Balances of nothing are left out;
// those below nothing (a year's challans missing) are kept, without
// challans. One query per year. Throws rnt::Error when the current year
// cannot be read, or the previous year's file is there but cannot be.
std::vector<SiteHolding> MaterialAtSites(const CompanyData& company, Date day,
                                         std::optional<std::int32_t> only = std::nullopt);

}  // namespace rnt::refhost
