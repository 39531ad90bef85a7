#include "engine/continuation_walk.h"

#include "engine/host_data.h"
#include "engine/queries.h"
#include "engine/segments.h"
#include "host/skipped_step.h"

namespace rnt::engine {
namespace {

// The items of the previous rent voucher, read from the year it was found in.
std::vector<VoucherItem> VoucherItems(host::CompanyContext& context, const RunValues& values) {
  std::vector<VoucherItem> items;
  host::Attempt(context.report, "read the previous rent voucher's items", [&] {
    std::shared_ptr<HostRecordset> rows = QueryYear(
        context, values.previous_year ? FinancialYear::kPrevious : FinancialYear::kCurrent,
        queries::VoucherItems(std::to_string(values.previous_voucher_code)));
    for (; !rows->Eof(); rows->MoveNext()) {
      items.push_back({rows->Field("MasterCode1"), rows->Field("cls"), rows->Field("chno"),
                       rows->Field("chdate")});
    }
  });
  return items;
}

}  // namespace

WalkResult RunContinuationWalk(host::CompanyContext& context, const RunValues& values) {
  WalkResult result;
  std::vector<VoucherItem> items = VoucherItems(context, values);
  Variant current_item;  // not reset from item to item
  for (const VoucherItem& item : items) {
    if (!item.item.IsNull()) result.items.insert(item.item.ToText());
    WalkState state;
    state.walk_start = Variant(values.previous_rent_date);
    state.opening = item.carried;
    state.period_start = state.walk_start;
    state.current_item = current_item;
    context.row_counter = Variant(int32_t{1});
    if (values.previous_year) {
      RunPreviousYearSegment(context, values, item, state);
      // The current year's movements are read from the year's first day on.
      if (std::optional<Date> year_date = FinancialYearDate(context)) {
        state.walk_start = Variant(*year_date);
      }
    }
    RunCurrentYearSegment(context, values, item, state);
    current_item = state.current_item;
  }
  return result;
}

}  // namespace rnt::engine
