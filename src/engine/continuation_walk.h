#pragma once

#include <set>
#include <string>

#include "engine/run_values.h"
#include "host/company_context.h"
#include "rnt/variant.h"

namespace rnt::engine {

// One item line of the previous rent voucher: the item, and what the voucher
// carried forward of it (the quantity, the challan it came on).
struct VoucherItem {
  Variant item;          // MasterCode1
  Variant carried;       // cls: the quantity still with the party, as the voucher wrote it
  Variant challan;       // chno
  Variant challan_date;  // chdate
};

// Where the walk of one voucher item stands; the segments read and change it.
struct WalkState {
  Variant walk_start;    // the day after which movements are read
  Variant opening;       // balance before the next movement (the carried quantity)
  Variant period_start;  // first day of the next line's period
  double issued = 0;     // P of the last day looked at
  double returned = 0;   // M of the last day looked at
  double closing = 0;
  Variant current_item;  // the item of the last movement line written
  // The previous year's segment found movements of the item after the
  // previous rent date.
  bool moved_in_previous_year = false;
};

// What the walk leaves for the pass over unlisted items.
struct WalkResult {
  std::set<std::string> items;  // the voucher's items, by code text
};

// Continues from the previous rent voucher: walks each item the voucher lists
// from its carried quantity and challan, through the previous year's data when
// the voucher lies there, then through the current year's.
WalkResult RunContinuationWalk(host::CompanyContext& context, const RunValues& values);

}  // namespace rnt::engine
