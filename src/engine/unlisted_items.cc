#include "engine/unlisted_items.h"

#include "engine/host_data.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/rent_line.h"
#include "engine/value_helpers.h"
#include "engine/walk_lines.h"
#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// The movements of the items the voucher does not list. A voucher read from
// the previous year is not in the current year's Tran2, so its items are
// excluded by the codes the walk read.
std::vector<MovementRow> UnlistedMovements(host::CompanyContext& context, const RunValues& values,
                                           const WalkResult& walk) {
  Variant lower_bound(values.previous_rent_date);
  if (values.previous_year && walk.had_item_rows) {
    if (std::optional<Date> year_date = FinancialYearDate(context)) lower_bound = *year_date;
  }
  std::vector<MovementRow> rows;
  host::Attempt(context.report, "list the movements of items the voucher does not list", [&] {
    std::string party = values.party_code.ToText();
    std::string sql =
        values.previous_year
            ? queries::UnlistedItemMovementsExcluding(
                  party, SqlDateText(lower_bound), SqlDateText(Variant(values.closing_date)),
                  std::vector<std::string>(walk.items.begin(), walk.items.end()))
            : queries::UnlistedItemMovements(party, SqlDateText(lower_bound),
                                             SqlDateText(Variant(values.closing_date)),
                                             std::to_string(values.previous_voucher_code));
    rows = ReadMovementList(*QueryYear(context, FinancialYear::kCurrent, sql), false);
  });
  return TakeEachDayOnce(std::move(rows), SameDayRows::kOneRowPerDay);
}

// A day's totals, read on the company connection with the date as a query
// date text, so that every backend finds the day's rows.
std::optional<DayTotals> CompanyDayTotals(host::CompanyContext& context, const RunValues& values,
                                          const MovementRow& row) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "read an unlisted item's day totals", [&] {
    if (!context.connection) throw Error("there is no connection to the company database");
    db::Recordset day;
    day.Open(queries::DayTotalsByDate(SqlDateText(row.date), values.party_code.ToText(),
                                      row.item.ToText()),
             *context.connection, db::CursorType::kDynamic, db::LockType::kBatchOptimistic);
    totals = ReadDayTotals(day);
  });
  return totals;
}

}  // namespace

void RunUnlistedItemsPass(host::CompanyContext& context, const RunValues& values,
                          const WalkResult& walk) {
  const Variant& party = values.party_code;
  std::vector<MovementRow> rows = UnlistedMovements(context, values, walk);
  Variant current_item;
  double carried = 0;
  double closing = 0;
  DayMovement day;  // P and M; the look-ahead replaces them
  for (size_t index = 0; index < rows.size(); ++index) {
    const MovementRow& row = rows[index];
    const MovementRow* next = index + 1 < rows.size() ? &rows[index + 1] : nullptr;
    if (row.first_of_item_day) {
      AddDamageAndLostLines(context, row.item, party, row.date);
    }
    if (!SameItem(row.item, current_item)) {
      current_item = row.item;
      carried = closing = 0;
      context.row_counter = Variant(int32_t{1});
    }
    std::optional<DayTotals> own_day = CompanyDayTotals(context, values, row);
    if (own_day) day = own_day->movement;
    if (day.issued > 0 || day.returned > 0) {
      closing = carried + day.issued - day.returned;
      const int32_t row_counter = RowCounter(context);
      std::optional<std::string> voucher_no = TrimmedText(row.voucher_no);
      RentLine line(context);
      if (voucher_no) line.Set("ChallanNo", *voucher_no);
      line.Set("ChallanDate", FormatValue(row.date, "dd-mm-yyyy"));
      line.Set("SrNo", context.row_counter);
      if (voucher_no) line.Set("RNo", *voucher_no);
      line.Set("Uname", context.user_name);
      if (own_day) {
        line.Set("Code1", own_day->item);
        line.Set("Price", GetRentRate(context, party, own_day->item));
      }
      line.Set("D1", day.issued);
      line.Set("D2", day.returned);
      line.Set("D3", carried);
      line.Set("D4", closing);
      carried = closing;
      line.Set("RecType", int16_t{1});
      line.Set("Dte1", FormatValue(row.date, kLineDate));

      const bool next_is_same_item = next != nullptr && SameItem(next->item, current_item);
      line.Set("Dte2", next_is_same_item ? FormatValue(next->date, kLineDate)
                                         : FormatValue(Variant(values.closing_date), kLineDate));
      if (line.Get("Dte2").IsNull()) {
        line.Set("Dte2", FormatValue(Variant(values.closing_date), kLineDate));
      }
      line.SetDaysFromPeriod();
      if (next != nullptr) {
        day = DayMovement{};
        if (std::optional<DayTotals> ahead = CompanyDayTotals(context, values, *next)) {
          day = ahead->movement;
        }
      }
      line.SetDaysFromPeriod();
      const bool issued_on_line = line.NumberOf("D1").value_or(0) > 0;
      if (day.issued > 0) {
        if (next_is_same_item) EndOneDayEarlier(line);
        line.SetDaysFromPeriod();
        if (row_counter == 1 || issued_on_line) line.AddToDays(1);
      } else if (issued_on_line) {
        line.AddToDays(1);
      }
      // A balance of nothing charges nothing here.
      line.SetQtyFromDays(Variant(closing));
      line.SetAmountFromPriceAndQty();
      line.Save();
    }
    context.row_counter = Variant(RowCounter(context) + 1);
  }
}

}  // namespace rnt::engine
