#pragma once

#include "engine/continuation_walk.h"
#include "engine/run_values.h"
#include "host/company_context.h"

namespace rnt::engine {

// Charges the items that the party received since its previous rent voucher
// without the voucher listing them: their movements after the voucher up to
// the closing date, day by day, as the movement pass does. When the voucher
// lies in the previous year, that year's movements after it come first and
// each item carries its balance into the current year.
void RunUnlistedItemsPass(host::CompanyContext& context, const RunValues& values,
                          const WalkResult& walk);

}  // namespace rnt::engine
