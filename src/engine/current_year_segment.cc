#include <cmath>

#include "engine/calendar_periods.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/segments.h"
#include "engine/walk_lines.h"
#include "host/skipped_step.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// Which opening entries a day's totals count: none on the year's first day
// when the previous year's walk carried the balance into it.
queries::OpeningEntries OpeningsOn(const Variant& day, const std::optional<Date>& carried_day) {
  return carried_day && DayOf(day) == carried_day ? queries::OpeningEntries::kLeftOut
                                                  : queries::OpeningEntries::kCounted;
}

// The row's day: the issues and returns under its own challan number, or
// the whole day's when the day came on several challans.
std::optional<DayTotals> ChallanDay(host::CompanyContext& context, const RunValues& values,
                                    const MovementRow& row,
                                    const std::optional<Date>& carried_day) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "read a challan's totals", [&] {
    std::string party = values.party_code.ToText();
    queries::OpeningEntries openings = OpeningsOn(row.date, carried_day);
    std::string sql =
        row.shares_its_day
            ? queries::DayTotalsByDate(row.date.ToText(), party, row.item.ToText(), openings)
            : queries::ChallanTotals(row.voucher_no.ToText(), row.date.ToText(), party,
                                     row.item.ToText(), openings);
    totals = ReadDayTotals(*QueryYear(context, FinancialYear::kCurrent, sql));
  });
  return totals;
}

// The next row's issues under its own challan and the day's returns; the
// whole day's when that day came on several challans.
std::optional<DayTotals> LookAhead(host::CompanyContext& context, const RunValues& values,
                                   const MovementRow& next,
                                   const std::optional<Date>& carried_day) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "look ahead at the next challan", [&] {
    std::string party = values.party_code.ToText();
    queries::OpeningEntries openings = OpeningsOn(next.date, carried_day);
    std::string sql =
        next.shares_its_day
            ? queries::DayTotalsByDate(next.date.ToText(), party, next.item.ToText(), openings)
            : queries::LookAheadTotals(TrimmedText(next.voucher_no).value_or(""),
                                       next.date.ToText(), party, next.item.ToText(), openings);
    totals = ReadDayTotals(*QueryYear(context, FinancialYear::kCurrent, sql));
  });
  return totals;
}

// The movement lines of the current year: one for every challan that changed
// the quantity with the party.
void WalkMovements(host::CompanyContext& context, const RunValues& values, const VoucherItem& item,
                   const std::vector<MovementRow>& rows, WalkState& state, bool opening_line) {
  const Variant& party = values.party_code;
  const std::optional<Date> carried_day = CarriedOpeningDay(context, values);
  std::optional<Date> year_date;
  bool first_line = true;
  for (size_t index = 0; index < rows.size(); ++index) {
    const MovementRow& row = rows[index];
    const MovementRow* next = index + 1 < rows.size() ? &rows[index + 1] : nullptr;
    AddDamageAndLostLines(context, row.item, party, row.date);
    // A challan whose totals cannot be read is judged with the P and M that
    // the look-ahead left.
    std::optional<DayTotals> day = ChallanDay(context, values, row, carried_day);
    if (day) {
      state.issued = day->movement.issued;
      state.returned = day->movement.returned;
    }
    DayMovement moved = day ? day->movement : DayMovement{state.issued, state.returned};
    if (!DayMakesALine(context, moved)) {
      context.row_counter = Variant(RowCounter(context) + 1);
      continue;
    }
    const double before = QuantityOf(state.opening);
    state.closing = before + state.issued - state.returned;
    const int32_t row_counter = RowCounter(context);
    // After a full return the item's period ends on the return day.
    const MovementRow* following = next;
    if (state.closing == 0) next = nullptr;
    RentLine line(context);
    NoteMovement(line, row, before, moved);
    // Without an opening line, the first line starts on its own day.
    SetMovementColumns(context, line, item, context.row_counter, row, day, party, state,
                       first_line && !opening_line);
    first_line = false;

    const bool next_is_same_item = next != nullptr && SameItem(next->item, state.current_item);
    if (!next_is_same_item) {
      if (state.closing == 0) line.Set("Dte2", FormatValue(row.date, kLineDate));
    } else {
      line.Set("Dte2", FormatValue(next->date, kLineDate));
    }
    double rent_quantity =
        state.closing == 0 ? std::fabs(state.issued - state.returned) : state.closing;
    if (line.Get("Dte2").IsNull()) line.Set("Dte2", values.closing_date);
    line.SetDaysFromPeriod();

    // The look-ahead's P and M take the place of the row's own.
    if (next != nullptr) {
      if (std::optional<DayTotals> ahead = LookAhead(context, values, *next, carried_day)) {
        state.issued = ahead->movement.issued;
        state.returned = ahead->movement.returned;
      }
    }
    if (state.issued > 0) {
      if (next_is_same_item || state.current_item.IsEmpty()) {
        if (!year_date) year_date = FinancialYearDate(context);
        Variant end = line.Get("Dte2");
        std::optional<Date> end_day = end.IsNull() ? std::nullopt : ParseDateText(end.ToText());
        if (year_date && end_day && *end_day == year_date->AddDays(-1)) EndOneDayEarlier(line);
      }
      line.SetDaysFromPeriod();
      if (row_counter == 1 || line.NumberOf("D1").value_or(0) > 0) line.AddToDays(1);
    }
    line.SetQtyFromDays(Variant(rent_quantity));
    line.SetAmountFromPriceAndQty();
    if (following != nullptr) state.period_start = following->date;
    line.Save();
    context.row_counter = Variant(RowCounter(context) + 1);
  }
}

}  // namespace

void RunCurrentYearSegment(host::CompanyContext& context, const RunValues& values,
                           const VoucherItem& item, WalkState& state) {
  std::vector<MovementRow> rows = CurrentYearMovementList(context, values, item, state.walk_start);
  if (!rows.empty()) {
    bool opening_line = QuantityOf(state.opening) > 0;
    if (opening_line) {
      // An item of a previous-year voucher that did not move in that year is
      // charged from the previous rent date, not from the year's first day.
      Variant from = values.previous_year && !state.moved_in_previous_year
                         ? Variant(values.previous_rent_date)
                         : state.walk_start;
      WriteCarriedLine(context, values, item, state, Variant(int32_t{0}),
                       TrimmedText(rows.front().voucher_no), from, rows.front().date, true);
      state.period_start = rows.front().date;
    }
    WalkMovements(context, values, item, rows, state, opening_line);
    return;
  }
  // An item quiet this year: charged here unless the previous year's segment
  // charged it across both years already.
  if (!values.previous_year || state.moved_in_previous_year) {
    AddWalkStartPieces(context, values, item, state.walk_start, FinancialYear::kCurrent);
    if (QuantityOf(state.opening) > 0) {
      WriteCarriedLine(context, values, item, state, Variant(int32_t{1}), std::nullopt,
                       state.walk_start, Variant(values.closing_date), false);
    }
  }
}

}  // namespace rnt::engine
