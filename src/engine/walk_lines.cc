#include "engine/walk_lines.h"

#include "engine/calendar_periods.h"
#include "engine/lost_damage.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/value_helpers.h"
#include "host/skipped_step.h"
#include "rnt/value_text.h"

namespace rnt::engine {

namespace {

std::vector<MovementRow> ListItemMovements(host::CompanyContext& context, const RunValues& values,
                                           const VoucherItem& item, const Variant& lower_bound,
                                           FinancialYear year, const Variant& openings_left_out) {
  std::vector<MovementRow> rows;
  host::Attempt(context.report, "list a voucher item's movements", [&] {
    std::string sql = queries::ItemMovements(
        values.party_code.ToText(), item.item.ToText(), SqlDateText(lower_bound),
        SqlDateText(Variant(values.closing_date)),
        openings_left_out.IsEmpty() ? std::string() : SqlDateText(openings_left_out));
    rows = ReadMovementList(*QueryYear(context, year, sql), false);
  });
  return TakeEachDayOnce(std::move(rows));
}

}  // namespace

std::vector<MovementRow> ItemMovementList(host::CompanyContext& context, const RunValues& values,
                                          const VoucherItem& item, const Variant& walk_start,
                                          FinancialYear year) {
  return ListItemMovements(context, values, item, walk_start, year, Variant());
}

std::optional<Date> CarriedOpeningDay(host::CompanyContext& context, const RunValues& values) {
  if (!values.previous_year) return std::nullopt;
  return FinancialYearDate(context);
}

std::vector<MovementRow> CurrentYearMovementList(host::CompanyContext& context,
                                                 const RunValues& values, const VoucherItem& item,
                                                 const Variant& walk_start) {
  if (std::optional<Date> opening_day = CarriedOpeningDay(context, values)) {
    return ListItemMovements(context, values, item, Variant(opening_day->AddDays(-1)),
                             FinancialYear::kCurrent, Variant(*opening_day));
  }
  return ListItemMovements(context, values, item, walk_start, FinancialYear::kCurrent, Variant());
}

void AddWalkStartPieces(host::CompanyContext& context, const RunValues& values,
                        const VoucherItem& item, const Variant& walk_start, FinancialYear year) {
  std::optional<Date> day = DayOf(walk_start);
  if (day && day == DayOf(Variant(values.previous_rent_date))) {
    bool moved = false;
    host::Attempt(context.report, "look for a voucher item's movement on the voucher's day", [&] {
      std::string sql = queries::ItemMovements(values.party_code.ToText(), item.item.ToText(),
                                               SqlDateText(Variant(day->AddDays(-1))),
                                               SqlDateText(Variant(*day)));
      moved = !QueryYear(context, year, sql)->Eof();
    });
    if (moved) return;  // billed with that movement by the voucher's own bill
  }
  AddDamageAndLostLines(context, item.item, values.party_code, walk_start, year);
}

void SetVoucherItemColumns(host::CompanyContext& context, RentLine& line, const VoucherItem& item,
                           const Variant& serial, const std::optional<std::string>& voucher_no,
                           const Variant& item_code, const Variant& party) {
  if (std::optional<std::string> challan = TrimmedText(item.challan)) {
    line.Set("ChallanNo", *challan);
  }
  line.Set("ChallanDate", item.challan_date);
  line.Set("SrNo", serial);
  if (voucher_no) line.Set("RNo", *voucher_no);
  line.Set("Uname", context.user_name);
  // Without the day's row there is no item to name or price.
  if (item_code.IsNull()) return;
  line.Set("Code1", item_code);
  line.Set("Price", GetRentRate(context, party, item_code));
}

void SetMovementColumns(host::CompanyContext& context, RentLine& line, const VoucherItem& item,
                        const Variant& serial, const MovementRow& row,
                        const std::optional<DayTotals>& day, const Variant& party, WalkState& state,
                        bool starts_on_its_own_day) {
  SetVoucherItemColumns(context, line, item, serial, TrimmedText(row.voucher_no),
                        day ? day->item : Variant::Null(), party);
  line.Set("D1", state.issued);
  line.Set("D2", state.returned);
  line.Set("D3", state.opening);
  line.Set("D4", state.closing);
  state.opening = Variant(state.closing);
  if (day) state.current_item = day->item;
  line.Set("RecType", int16_t{1});
  line.Set("Dte1", FormatValue(starts_on_its_own_day ? row.date : state.period_start, kLineDate));
}

void WriteCarriedLine(host::CompanyContext& context, const RunValues& values,
                      const VoucherItem& item, const WalkState& state, const Variant& serial,
                      const std::optional<std::string>& voucher_no, const Variant& from,
                      const Variant& to, bool with_movement_columns) {
  RentLine line(context);
  SetVoucherItemColumns(context, line, item, serial, voucher_no, item.item, values.party_code);
  if (with_movement_columns) {
    line.Set("D1", state.issued);
    line.Set("D2", state.returned);
  }
  line.Set("D3", state.opening);
  line.Set("D4", state.opening);
  line.Set("RecType", int16_t{1});
  line.Set("Dte1", FormatValue(from, kLineDate));
  line.Set("Dte2", FormatValue(to, kLineDate));
  line.SetDaysFromPeriod();
  line.SetQtyFromDays(state.opening);
  // Under a calendar rule the carried pieces are charged from the day after
  // the voucher's: the voucher's own day was its bill's last.
  if (std::optional<Date> start = DayOf(from)) {
    if (start == DayOf(Variant(values.previous_rent_date))) start = start->AddDays(1);
    line.Note({PeriodItemKey(item.item), *start, true, QuantityOf(state.opening), 0, 0});
  }
  line.SetAmountFromPriceAndQty();
  line.Save();
}

void NoteMovement(RentLine& line, const MovementRow& row, double before, const DayMovement& day) {
  if (std::optional<Date> moved_on = DayOf(row.date)) {
    line.Note({PeriodItemKey(row.item), *moved_on, false, before, day.gross_in, day.gross_out});
  }
}

double QuantityOf(const Variant& value) { return value.IsNull() ? 0 : Val(value.ToText()); }

void EndOneDayEarlier(RentLine& line) {
  Variant end = line.Get("Dte2");
  if (end.IsNull()) return;
  std::optional<Date> day = ParseDateText(end.ToText());
  if (day) line.Set("Dte2", FormatDate(day->AddDays(-1), kLineDate));
}

int32_t RowCounter(const host::CompanyContext& context) {
  return context.row_counter.IsEmpty() ? 0 : context.row_counter.ToInt32();
}

}  // namespace rnt::engine
