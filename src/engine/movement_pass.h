#pragma once

#include <map>
#include <string>

#include "engine/host_data.h"
#include "engine/run_values.h"
#include "host/company_context.h"

namespace rnt::engine {

// Where an item stood when a pass left it: its balance with the party and the
// row counter its next row would get.
struct ItemStanding {
  double balance = 0;
  int32_t row_counter = 1;
};

// What a first calculation's passes share: the item being walked, its
// balances, and each item's standing at the end of the previous year's pass,
// from which the current year's pass carries it on.
struct PassState {
  Variant current_item;
  double opening_balance = 0;
  double closing_balance = 0;
  std::map<std::string, ItemStanding> standings;  // by item code text
};

// A movement pass over one financial year's data.
struct MovementPass {
  FinancialYear year = FinancialYear::kCurrent;
  // Previous year only: the day each item's last line ends on, as text, by
  // item code text (the day before the item's first current-year movement);
  // an item without one ends on the closing date.
  std::map<std::string, std::string> cut_offs;
};

// Walks the party's item movements of one year up to the closing date, item
// by item and day by day, and writes a rent line for every day that changed
// the quantity with the party: the day's issues and returns, the balances
// before and after, the period until the item's next movement, its days,
// quantity-days, rate and amount. Lost and damaged pieces of each movement
// day get their own lines.
void RunMovementPass(host::CompanyContext& context, const RunValues& values,
                     const MovementPass& pass, PassState& state);

}  // namespace rnt::engine
