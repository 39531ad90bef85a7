#include "engine/unlisted_items.h"

#include "engine/calendar_periods.h"
#include "engine/host_data.h"
#include "engine/lost_damage.h"
#include "engine/movement_pass.h"
#include "engine/party_stock.h"
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

std::string ItemKey(const Variant& item) { return item.IsNull() ? std::string() : item.ToText(); }

// One year's part of the pass: the year its list and day totals are read
// from; for the previous year, the day each item's last line ends on (the day
// before the item's first current-year movement, by item code text; the
// closing date when it has none); for the current year after a previous-year
// part, the year's first day, whose opening entries carry forward what that
// part has billed already.
struct UnlistedPart {
  FinancialYear year = FinancialYear::kCurrent;
  std::map<std::string, std::string> cut_offs;
  std::optional<Date> openings_left_out_on;
};

// The movements of the items the voucher does not list, in one year. A
// voucher read from the previous year is not in the current year's Tran2, so
// there its items are excluded by the codes the walk read.
std::vector<MovementRow> UnlistedMovements(host::CompanyContext& context, const RunValues& values,
                                           const WalkResult& walk, const UnlistedPart& part) {
  std::vector<MovementRow> rows;
  host::Attempt(context.report, "list the movements of items the voucher does not list", [&] {
    std::string party = values.party_code.ToText();
    std::string lower_bound = SqlDateText(Variant(values.previous_rent_date));
    std::string closing_date = SqlDateText(Variant(values.closing_date));
    std::string sql =
        values.previous_year && part.year == FinancialYear::kCurrent
            ? queries::UnlistedItemMovementsExcluding(
                  party, lower_bound, closing_date,
                  std::vector<std::string>(walk.items.begin(), walk.items.end()),
                  part.openings_left_out_on ? SqlDateText(Variant(*part.openings_left_out_on))
                                            : std::string())
            : queries::UnlistedItemMovements(party, lower_bound, closing_date,
                                             std::to_string(values.previous_voucher_code));
    rows = ReadMovementList(*QueryYear(context, part.year, sql), false);
  });
  return TakeEachDayOnce(std::move(rows));
}

// The party's stock entries in the open company's file, read once per run,
// from which the current year's day totals are worked out: null when they
// cannot be read exactly, and then every day is asked.
const PartyStock* CompanyStockOf(host::CompanyContext& context, const std::string& party) {
  auto& lookups = context.lookups;
  if (lookups.stock_party == party) return lookups.stock.get();
  lookups.stock_party = party;
  lookups.stock.reset();
  if (!context.connection || !ParseNumberText(party)) return nullptr;
  try {
    db::Recordset rows;
    rows.Open(PartyStock::Query(party), *context.connection);
    if (std::optional<PartyStock> stock = PartyStock::FromRows(rows)) {
      lookups.stock = std::make_shared<const PartyStock>(std::move(*stock));
    }
  } catch (const std::exception&) {
    // asked day by day instead, where a failing database is reported
  }
  return lookups.stock.get();
}

// A day's totals with the date as a query date text, so that every backend
// finds the day's rows: the current year's on the company connection, the
// previous year's through the host.
std::optional<DayTotals> DayTotalsOf(host::CompanyContext& context, const RunValues& values,
                                     const UnlistedPart& part, const MovementRow& row) {
  std::optional<DayTotals> totals;
  host::Attempt(context.report, "read an unlisted item's day totals", [&] {
    queries::OpeningEntries openings =
        part.openings_left_out_on && DayOf(row.date) == part.openings_left_out_on
            ? queries::OpeningEntries::kLeftOut
            : queries::OpeningEntries::kCounted;
    std::string sql = queries::DayTotalsByDate(SqlDateText(row.date), values.party_code.ToText(),
                                               row.item.ToText(), openings);
    if (part.year == FinancialYear::kPrevious) {
      totals = ReadDayTotals(*QueryYear(context, part.year, sql));
      return;
    }
    const std::string party = values.party_code.ToText();
    std::optional<Date> day_of_row = DayOf(row.date);
    std::optional<double> item =
        row.item.IsNumber() ? std::optional(row.item.ToDouble()) : std::nullopt;
    if (const PartyStock* stock = CompanyStockOf(context, party);
        stock && day_of_row && item && *item == static_cast<int32_t>(*item)) {
      std::optional<DayTotalsRow> found = stock->DayTotals(*day_of_row, static_cast<int32_t>(*item),
                                                           DayTotalsFilter{{}, {}, {}, openings});
      if (found) totals = DayTotals{found->master_code1, NetDay(found->a1, found->a2)};
      return;
    }
    if (!context.connection) throw Error("there is no connection to the company database");
    db::Recordset day;
    day.Open(sql, *context.connection, db::CursorType::kDynamic, db::LockType::kBatchOptimistic);
    totals = ReadDayTotals(day);
  });
  return totals;
}

// Walks one year's list of unlisted movements, each item from where the
// previous part left it (`standings`, updated as the items move on).
void WalkUnlistedMovements(host::CompanyContext& context, const RunValues& values,
                           const UnlistedPart& part, const std::vector<MovementRow>& rows,
                           std::map<std::string, ItemStanding>& standings) {
  const Variant& party = values.party_code;
  Variant current_item;
  double carried = 0;
  double closing = 0;
  DayMovement day;  // P and M; the look-ahead replaces them
  for (size_t index = 0; index < rows.size(); ++index) {
    const MovementRow& row = rows[index];
    const MovementRow* next = index + 1 < rows.size() ? &rows[index + 1] : nullptr;
    AddDamageAndLostLines(context, row.item, party, row.date, part.year);
    if (!SameItem(row.item, current_item)) {
      current_item = row.item;
      auto standing = standings.find(ItemKey(row.item));
      ItemStanding start = standing == standings.end() ? ItemStanding{} : standing->second;
      carried = closing = start.balance;
      context.row_counter = Variant(start.row_counter);
    }
    std::optional<DayTotals> own_day = DayTotalsOf(context, values, part, row);
    if (own_day) day = own_day->movement;
    if (DayMakesALine(context, day)) {
      closing = carried + day.issued - day.returned;
      const int32_t row_counter = RowCounter(context);
      std::optional<std::string> voucher_no = TrimmedText(row.voucher_no);
      // A line that leaves nothing with the party is followed by the next
      // item's first row: it charges no day until its item moves again.
      const size_t next_index = NextRowOfPeriod(rows, index, closing);
      next = next_index < rows.size() ? &rows[next_index] : nullptr;
      RentLine line(context);
      NoteMovement(line, row, carried, own_day ? own_day->movement : day);
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

      // The item's last line runs to the closing date, or in the previous
      // year to the day before the item moves again in the current one.
      const bool next_is_same_item = next != nullptr && SameItem(next->item, current_item);
      Variant last_day(values.closing_date);
      if (auto cut_off = part.cut_offs.find(ItemKey(current_item));
          cut_off != part.cut_offs.end()) {
        last_day = Variant(cut_off->second);
      }
      line.Set("Dte2", next_is_same_item ? FormatValue(next->date, kLineDate)
                                         : FormatValue(last_day, kLineDate));
      if (line.Get("Dte2").IsNull()) line.Set("Dte2", FormatValue(last_day, kLineDate));
      line.SetDaysFromPeriod();
      if (next != nullptr) {
        day = DayMovement{};
        if (std::optional<DayTotals> ahead = DayTotalsOf(context, values, part, *next)) {
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
    standings[ItemKey(current_item)] = ItemStanding{carried, RowCounter(context)};
  }
}

// The day each item's last previous-year line ends on: the day before its
// first movement in the current year's list, which comes item by item,
// earliest day first.
std::map<std::string, std::string> CutOffs(const std::vector<MovementRow>& current_year) {
  std::map<std::string, std::string> cut_offs;
  for (const MovementRow& row : current_year) {
    std::optional<Date> day = DayOf(row.date);
    if (row.item.IsNull() || !day || cut_offs.count(row.item.ToText())) continue;
    cut_offs[row.item.ToText()] = FormatDate(day->AddDays(-1), "dd-mm-yyyy");
  }
  return cut_offs;
}

}  // namespace

void RunUnlistedItemsPass(host::CompanyContext& context, const RunValues& values,
                          const WalkResult& walk) {
  std::map<std::string, ItemStanding> standings;
  UnlistedPart current_year;
  if (!values.previous_year) {
    WalkUnlistedMovements(context, values, current_year,
                          UnlistedMovements(context, values, walk, current_year), standings);
    return;
  }
  // A voucher of the previous year: the items it does not list are walked
  // through the rest of that year first, then on into the current year with
  // the balance each carries.
  current_year.openings_left_out_on = FinancialYearDate(context);
  std::vector<MovementRow> current_rows = UnlistedMovements(context, values, walk, current_year);
  UnlistedPart previous_year{FinancialYear::kPrevious, CutOffs(current_rows), std::nullopt};
  WalkUnlistedMovements(context, values, previous_year,
                        UnlistedMovements(context, values, walk, previous_year), standings);
  WalkUnlistedMovements(context, values, current_year, current_rows, standings);
}

}  // namespace rnt::engine
