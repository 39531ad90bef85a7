#pragma once

#include "engine/continuation_walk.h"
#include "engine/run_values.h"
#include "host/company_context.h"

// The segments of the walk of one voucher item.
namespace rnt::engine {

// The item's walk through the previous year's data: an opening line for the
// carried quantity, a line for every day that changed the quantity, the last
// one ending at the year end. An item without previous-year movements gets a
// quiet-item line when it stayed quiet in the current year too.
void RunPreviousYearSegment(host::CompanyContext& context, const RunValues& values,
                            const VoucherItem& item, WalkState& state);

// The item's walk through the current year's data: an opening line, a line
// for every day that changed the quantity (matched by challan), or a
// quiet-item line when it did not move at all.
void RunCurrentYearSegment(host::CompanyContext& context, const RunValues& values,
                           const VoucherItem& item, WalkState& state);

}  // namespace rnt::engine
