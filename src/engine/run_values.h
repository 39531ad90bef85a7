#pragma once

#include <cstdint>
#include <string>

#include "rnt/variant.h"

namespace rnt::engine {

// The values a rent run sets up before it takes a path, read by the paths.
struct RunValues {
  Variant party_code;        // the party's master code; the party's own text when the lookup failed
  std::string closing_date;  // the day before the rent date, "dd-mm-yyyy"; empty if none
  std::string financial_year_date;  // "DD-MM-YYYY"; the previous rent date on the continuation path
  int32_t previous_voucher_code = 0;
  std::string previous_rent_date;  // "DD-MMM-YYYY"
  bool previous_year = false;      // the previous rent voucher lies in the previous financial year
};

}  // namespace rnt::engine
