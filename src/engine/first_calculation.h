#pragma once

#include "engine/run_values.h"
#include "host/company_context.h"

namespace rnt::engine {

// The path of a party without a previous rent voucher: rents the party's whole
// movement history up to the closing date, the previous financial year's
// movements first (when the host has that year), then the current year's,
// each item carried across the year boundary with its own balance.
void RunFirstCalculation(host::CompanyContext& context, const RunValues& values);

}  // namespace rnt::engine
