#include "engine/first_calculation.h"

#include "engine/movement_pass.h"
#include "engine/queries.h"
#include "engine/value_helpers.h"
#include "host/skipped_step.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// The day each item's last previous-year line ends on: the day before the
// item's first movement in the current year's list. The list comes item by
// item, earliest day first.
std::map<std::string, std::string> CutOffs(RunReport& report,
                                           const std::vector<MovementRow>& current_year) {
  std::map<std::string, std::string> cut_offs;
  for (const MovementRow& row : current_year) {
    if (row.item.IsNull() || row.date.IsNull()) continue;
    std::string item = row.item.ToText();
    if (cut_offs.count(item)) continue;
    host::Attempt(report, "work out an item's year-end cut-off",
                  [&] { cut_offs[item] = ShortDateText(row.date.ToDate().AddDays(-1)); });
  }
  return cut_offs;
}

}  // namespace

void RunFirstCalculation(host::CompanyContext& context, const RunValues& values) {
  std::vector<MovementRow> probe;
  host::Attempt(context.report, "list the party's current-year movements", [&] {
    std::string sql =
        queries::MovementList(queries::MovementYear::kPrevious, values.party_code.ToText(),
                              SqlDateText(Variant(values.closing_date)));
    probe = ReadMovementList(*QueryYear(context, FinancialYear::kCurrent, sql), false);
  });

  PassState state;
  if (PreviousYearExists(context)) {
    MovementPass previous_year{FinancialYear::kPrevious, CutOffs(context.report, probe)};
    RunMovementPass(context, values, previous_year, state);
  }
  RunMovementPass(context, values, MovementPass{FinancialYear::kCurrent, {}}, state);
}

}  // namespace rnt::engine
