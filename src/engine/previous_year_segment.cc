#include <cmath>

#include "engine/calendar_periods.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/segments.h"
#include "engine/value_helpers.h"
#include "engine/walk_lines.h"
#include "host/skipped_step.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// The whole day's totals of an item in the previous year's data.
std::optional<DayTotals> PreviousYearDay(host::CompanyContext& context, const RunValues& values,
                                         const MovementRow& row) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "read a previous-year movement day's totals", [&] {
    std::string sql =
        queries::DayTotalsByDate(row.date.ToText(), values.party_code.ToText(), row.item.ToText());
    totals = ReadDayTotals(*QueryYear(context, FinancialYear::kPrevious, sql));
  });
  return totals;
}

// An item of the voucher that did not move in the previous year after the
// previous rent date: when it stayed quiet in the current year as well, one
// line charges the carried quantity from the previous rent date to the
// closing date.
void RunQuietItemAcrossYears(host::CompanyContext& context, const RunValues& values,
                             const VoucherItem& item, WalkState& state) {
  AddWalkStartPieces(context, values, item, state.walk_start, FinancialYear::kPrevious);
  if (!(QuantityOf(state.opening) > 0)) return;
  // The current-year segment walks the item when it moves this year; the
  // opening entry that carries it into the year is no movement.
  if (!CurrentYearMovementList(context, values, item, state.walk_start).empty()) return;
  WriteCarriedLine(context, values, item, state, Variant(int32_t{1}), std::nullopt,
                   state.walk_start, Variant(values.closing_date), false);
}

}  // namespace

void RunPreviousYearSegment(host::CompanyContext& context, const RunValues& values,
                            const VoucherItem& item, WalkState& state) {
  const Variant& party = values.party_code;
  std::vector<MovementRow> rows =
      ItemMovementList(context, values, item, state.walk_start, FinancialYear::kPrevious);
  if (rows.empty()) {
    RunQuietItemAcrossYears(context, values, item, state);
    return;
  }
  state.moved_in_previous_year = true;

  bool opening_line = QuantityOf(state.opening) > 0;
  if (opening_line) {
    state.issued = state.returned = 0;
    WriteCarriedLine(context, values, item, state, Variant(int32_t{-1000}),
                     TrimmedText(rows.front().voucher_no), state.walk_start, rows.front().date,
                     true);
    state.period_start = rows.front().date;
  }
  std::optional<Date> year_date;
  bool first_line = true;
  std::optional<DayTotals> looked_ahead;
  size_t looked_ahead_index = 0;
  bool looked_ahead_read = false;

  for (size_t index = 0; index < rows.size(); ++index) {
    const MovementRow& row = rows[index];
    const MovementRow* next = index + 1 < rows.size() ? &rows[index + 1] : nullptr;
    AddDamageAndLostLines(context, row.item, party, row.date, FinancialYear::kPrevious);
    // A day whose totals cannot be read is judged with the last day's P and M.
    // The look-ahead from the row before read this very day already.
    std::optional<DayTotals> day = looked_ahead_index == index && looked_ahead_read
                                       ? looked_ahead
                                       : PreviousYearDay(context, values, row);
    if (day) {
      state.issued = day->movement.issued;
      state.returned = day->movement.returned;
    }
    DayMovement moved = day ? day->movement : DayMovement{state.issued, state.returned};
    if (DayMakesALine(context, moved)) {
      const double before = QuantityOf(state.opening);
      state.closing = before + state.issued - state.returned;
      const int32_t row_counter = RowCounter(context);
      // After a full return the item's period ends on the return day.
      const MovementRow* following = next;
      if (state.closing == 0) next = nullptr;
      RentLine line(context);
      NoteMovement(line, row, before, moved);
      // Without an opening line, the first line starts on its own day: the
      // party owes nothing for the days before the material reached it.
      SetMovementColumns(context, line, item, Variant(row_counter - 1000), row, day, party, state,
                         first_line && !opening_line);
      first_line = false;

      if (next != nullptr) {
        line.Set("Dte2", FormatValue(next->date, kLineDate));
      } else if (state.closing == 0) {
        line.Set("Dte2", FormatValue(row.date, kLineDate));
      }
      double rent_quantity =
          state.closing == 0 ? std::fabs(state.issued - state.returned) : state.closing;
      // The last line of the year runs to the year's last day.
      if (line.Get("Dte2").IsNull()) {
        if (!year_date) year_date = FinancialYearDate(context);
        if (year_date) line.Set("Dte2", FormatDate(year_date->AddDays(-1), kLineDate));
      }
      line.SetDaysFromPeriod();
      DayMovement ahead{state.issued, state.returned};
      if (next != nullptr) {
        ahead = DayMovement{};
        looked_ahead.reset();
        looked_ahead_index = index + 1;
        looked_ahead_read =
            host::Attempt(context.report, "look ahead at the next previous-year movement day", [&] {
              looked_ahead = ReadDayTotals(
                  *QueryYear(context, FinancialYear::kPrevious,
                             queries::DayTotalsByDate(next->date.ToText(), party.ToText(),
                                                      next->item.ToText())));
            });
        if (looked_ahead) ahead = looked_ahead->movement;
      }
      if (ahead.issued > 0) {
        // The next movement is an issue: that day is charged on its own line.
        if (next != nullptr && SameItem(next->item, state.current_item)) EndOneDayEarlier(line);
        line.SetDaysFromPeriod();
        if (row_counter == 1 || line.NumberOf("D1").value_or(0) > 0) line.AddToDays(1);
      }
      line.SetQtyFromDays(Variant(rent_quantity));
      line.SetAmountFromPriceAndQty();
      if (following != nullptr) state.period_start = following->date;
      line.Save();
    }
    context.row_counter = Variant(RowCounter(context) + 1);
  }
}

}  // namespace rnt::engine
