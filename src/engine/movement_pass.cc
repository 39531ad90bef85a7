#include "engine/movement_pass.h"

#include <cmath>

#include "engine/calendar_periods.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/rent_line.h"
#include "engine/value_helpers.h"
#include "engine/walk_lines.h"
#include "host/skipped_step.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

bool IsPreviousYear(const MovementPass& pass) { return pass.year == FinancialYear::kPrevious; }

std::string ItemKey(const Variant& item) { return item.IsNull() ? std::string() : item.ToText(); }

// The list of the pass: the party's movement days up to the closing date,
// item by item, each day taken once.
std::vector<MovementRow> MovementList(host::CompanyContext& context, const RunValues& values,
                                      const MovementPass& pass) {
  std::vector<MovementRow> rows;
  host::Attempt(context.report, "list the party's movements", [&] {
    std::string sql = queries::MovementList(
        IsPreviousYear(pass) ? queries::MovementYear::kPrevious : queries::MovementYear::kCurrent,
        values.party_code.ToText(), SqlDateText(Variant(values.closing_date)));
    rows = ReadMovementList(*QueryYear(context, pass.year, sql), !IsPreviousYear(pass));
  });
  return TakeEachDayOnce(std::move(rows));
}

// The totals of the row's own day: the whole day in the previous year, the
// row's reference code in the current year unless the day came on several
// rows. A current-year list holds no opening entries, so neither do the
// whole day's totals there: what they carry in has been billed already, or
// belongs to a year this bill does not see.
std::optional<DayTotals> OwnDayTotals(host::CompanyContext& context, const RunValues& values,
                                      const MovementPass& pass, const MovementRow& row) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "read a movement day's totals", [&] {
    std::string day = SqlDateText(row.date);
    std::string party = values.party_code.ToText();
    std::string sql =
        IsPreviousYear(pass) ? queries::DayTotalsByDate(day, party, row.item.ToText())
        : row.shares_its_day
            ? queries::DayTotalsByDate(day, party, row.item.ToText(),
                                       queries::OpeningEntries::kLeftOut)
            : queries::DayTotalsByReference(row.reference.ToText(), day, party, row.item.ToText());
    totals = ReadDayTotals(*QueryYear(context, pass.year, sql));
  });
  return totals;
}

// The whole day's totals of a row's item and day, as the look-ahead reads
// them; `read` is false when the query failed.
struct WholeDay {
  bool read = false;
  std::optional<DayTotals> totals;
};

WholeDay LookAhead(host::CompanyContext& context, const RunValues& values, const MovementPass& pass,
                   const MovementRow& next) {
  WholeDay day;
  day.read = host::Attempt(context.report, "look ahead at the next movement day", [&] {
    std::string sql = queries::DayTotalsByDate(next.date.ToText(), values.party_code.ToText(),
                                               next.item.ToText());
    day.totals = ReadDayTotals(*QueryYear(context, pass.year, sql));
  });
  return day;
}

}  // namespace

void RunMovementPass(host::CompanyContext& context, const RunValues& values,
                     const MovementPass& pass, PassState& state) {
  const Variant& party = values.party_code;
  std::vector<MovementRow> rows = MovementList(context, values, pass);
  WholeDay looked_ahead;
  size_t looked_ahead_index = 0;

  for (size_t index = 0; index < rows.size(); ++index) {
    const MovementRow& row = rows[index];
    const MovementRow* next = index + 1 < rows.size() ? &rows[index + 1] : nullptr;

    AddDamageAndLostLines(context, row.item, party, row.date, pass.year);
    // Each item starts where the previous year's pass left it: its own
    // balance and row counter, or nothing and 1.
    if (!SameItem(row.item, state.current_item)) {
      state.current_item = row.item;
      auto standing = state.standings.find(ItemKey(row.item));
      ItemStanding start = standing == state.standings.end() ? ItemStanding{} : standing->second;
      state.opening_balance = state.closing_balance = start.balance;
      context.row_counter = Variant(start.row_counter);
    }

    // In the previous year a row's own totals are the whole day's, which the
    // look-ahead from the row before has read already.
    std::optional<DayTotals> own_day =
        IsPreviousYear(pass) && looked_ahead.read && looked_ahead_index == index
            ? looked_ahead.totals
            : OwnDayTotals(context, values, pass, row);
    DayMovement day = own_day ? own_day->movement : DayMovement{};
    if (DayMakesALine(context, day)) {
      state.closing_balance = state.opening_balance + day.issued - day.returned;
      const int32_t row_counter = RowCounter(context);
      std::optional<std::string> voucher_no = TrimmedText(row.voucher_no);
      // A line that leaves nothing with the party is followed by the next
      // item's first row: it charges no day until its item moves again.
      const size_t next_index = NextRowOfPeriod(rows, index, state.closing_balance);
      next = next_index < rows.size() ? &rows[next_index] : nullptr;

      RentLine line(context);
      NoteMovement(line, row, state.opening_balance, day);
      line.Set("SrNo", context.row_counter);
      if (voucher_no) line.Set("RNo", *voucher_no);
      line.Set("Uname", context.user_name);
      line.Set("Code1", own_day->item);
      line.Set("Price", GetRentRate(context, party, own_day->item));
      if (voucher_no) line.Set("ChallanNo", *voucher_no);
      line.Set("ChallanDate", FormatValue(row.date, kLineDate));
      line.Set("D1", day.issued);
      line.Set("D2", day.returned);
      line.Set("D3", state.opening_balance);
      line.Set("D4", state.closing_balance);
      state.opening_balance = state.closing_balance;
      line.Set("RecType", int16_t{1});
      line.Set("Dte1", FormatValue(row.date, kLineDate));

      // The period runs to the item's next movement day. A line that leaves
      // nothing with the party and has no later movement of its item ends on
      // its own day, in both years.
      const bool next_is_same_item = next != nullptr && SameItem(next->item, state.current_item);
      if (next_is_same_item) {
        line.Set("Dte2", FormatValue(next->date, kLineDate));
      } else if (state.closing_balance == 0) {
        line.Set("Dte2", FormatValue(row.date, kLineDate));
      }
      if (line.Get("Dte2").IsNull()) {
        if (IsPreviousYear(pass)) {
          auto cut_off = pass.cut_offs.find(ItemKey(state.current_item));
          line.Set("Dte2", cut_off == pass.cut_offs.end() ? values.closing_date : cut_off->second);
        } else if (state.closing_balance > 0) {
          line.Set("Dte2", values.closing_date);
        }
        // A negative balance leaves the period open: the line is saved
        // without days, quantity-days or amount.
      }

      // At the end of the list there is no next day: the row's own day
      // stands in for it.
      DayMovement ahead = day;
      if (next != nullptr) {
        looked_ahead = LookAhead(context, values, pass, *next);
        looked_ahead_index = next_index;
        ahead = looked_ahead.totals ? looked_ahead.totals->movement : DayMovement{};
      }
      line.SetDaysFromPeriod();
      const bool issued_on_line = line.NumberOf("D1").value_or(0) > 0;
      if (ahead.issued > 0) {
        // The next movement is an issue: that day is charged on its own line.
        if (next_is_same_item) EndOneDayEarlier(line);
        line.SetDaysFromPeriod();
        if (row_counter == 1 || issued_on_line) line.AddToDays(1);
      } else if ((next != nullptr && !next_is_same_item && issued_on_line) || next == nullptr) {
        line.AddToDays(1);
      } else if (ahead.returned > 0 && row_counter == 1) {
        line.AddToDays(1);
      }
      if (!IsPreviousYear(pass) && next == nullptr && line.NumberOf("D4") == 0.0) {
        Variant start = line.Get("Dte1");
        Variant end = line.Get("Dte2");
        if (!start.IsNull() && !end.IsNull() && start.ToText() == end.ToText()) {
          line.Set("Days", int16_t{0});
        }
      }

      // A line that leaves nothing with the party charges the day's own
      // movement.
      double rent_quantity =
          state.closing_balance == 0 ? std::fabs(day.issued - day.returned) : state.closing_balance;
      line.SetQtyFromDays(Variant(rent_quantity));
      line.SetAmountFromPriceAndQty();
      line.Save();
    }
    context.row_counter = Variant(RowCounter(context) + 1);
    state.standings[ItemKey(state.current_item)] =
        ItemStanding{state.opening_balance, RowCounter(context)};
  }
}

}  // namespace rnt::engine
