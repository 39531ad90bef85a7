#include "engine/lost_damage.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/recordset.h"
#include "engine/marked_lines.h"
#include "engine/queries.h"
#include "engine/rates.h"
#include "engine/rent_line.h"
#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

using ItemsQuery = std::string (*)(std::string_view, std::string_view, std::string_view);

// The party's marked lines in the open company's file, read once per run:
// most movement days have none, and none of them needs a query of its own.
// Null when they cannot be read exactly; then every day is asked.
const PartyMarkedLines* MarkedLinesOf(host::CompanyContext& context, const std::string& party) {
  auto& lookups = context.lookups;
  if (lookups.marked_party == party) return lookups.marked_lines.get();
  lookups.marked_party = party;
  lookups.marked_lines.reset();
  if (!context.connection || !ParseNumberText(party)) return nullptr;
  try {
    db::Recordset rows;
    rows.Open(PartyMarkedLines::Query(party), *context.connection);
    if (std::optional<PartyMarkedLines> lines = PartyMarkedLines::FromRows(rows)) {
      lookups.marked_lines = std::make_shared<const PartyMarkedLines>(std::move(*lines));
    }
  } catch (const std::exception&) {
    // asked day by day instead
  }
  return lookups.marked_lines.get();
}

// The marked voucher lines of one item, party and day: a current-year day's
// over the company connection, a previous-year day's through the host's
// previous-year data. Nothing when the query cannot be built or run; codes or
// a day that are not what the query expects fail in the database, which
// leaves the day without a line, and only other failures are reported.
std::shared_ptr<HostRecordset> MarkedLines(host::CompanyContext& context, ItemsQuery query,
                                           PartyMarkedLines::Kind kind_of_lines,
                                           std::string_view kind, const Variant& item_code,
                                           const Variant& party_code, const Variant& on_date,
                                           FinancialYear year) {
  std::string item, party, day;
  try {
    item = item_code.ToText();
    party = party_code.ToText();
    day = FormatValue(on_date, "DD-MMM-yyyy").ToText();
  } catch (const Error&) {
    return nullptr;  // a null has no text: no query
  }
  const bool current_year = year == FinancialYear::kCurrent;
  if (const PartyMarkedLines* marked = current_year ? MarkedLinesOf(context, party) : nullptr) {
    std::optional<Date> date = ParseDateText(day);
    std::optional<double> code = ParseNumberText(item);
    if (date && code && *code == static_cast<int32_t>(*code)) {
      return marked->Lines(kind_of_lines, static_cast<int32_t>(*code), date->serial());
    }
  }
  std::string sql = query(item, party, day);
  try {
    if (!current_year) return QueryYear(context, year, sql);
    if (!context.connection) throw Error("there is no connection to the company database");
    auto rows = std::make_shared<db::Recordset>();
    rows->Open(sql, *context.connection, db::CursorType::kDynamic, db::LockType::kBatchOptimistic);
    return rows;
  } catch (const DatabaseUnavailable& error) {
    context.report.Skip({"read the " + std::string(kind) + " items of " + day, error.what(), true});
    return nullptr;
  } catch (const std::exception& error) {
    if (ParseNumberText(item) && ParseNumberText(party) && ParseDateText(day)) {
      context.report.Skip({"read the " + std::string(kind) + " items of " + day,
                           std::string(error.what()) + " (query: " + sql + ")", false});
    }
    return nullptr;
  }
}

// Visits each row of the record set; a row that cannot be read ends the list.
void ForEachRow(host::CompanyContext& context, const std::shared_ptr<HostRecordset>& rows,
                std::string_view kind, const std::function<void(HostRecordset&)>& visit) {
  if (!rows) return;
  host::Attempt(context.report, "walk the " + std::string(kind) + " items", [&] {
    for (; !rows->Eof(); rows->MoveNext()) visit(*rows);
  });
}

// total + quantity with the platform's arithmetic: a null quantity makes the
// total null for good, an empty one adds nothing, text that is not a number fails.
Variant AddQuantity(const Variant& total, const Variant& quantity) {
  if (total.IsNull() || quantity.IsNull()) return Variant::Null();
  return Variant(total.ToDouble() + quantity.ToDouble());
}

// Whether the day's total calls for a line. A null total has no text, and the
// procedure then stops just as for a total that is not above 0.
bool WorthALine(const Variant& total) {
  try {
    return Val(total.ToText()) > 0;
  } catch (const Error&) {
    return false;
  }
}

// The lost/damage line counter: unset at first, so the first line after
// loading has an empty SrNo; one more after every line.
void CountLine(host::CompanyContext& context) {
  host::Attempt(context.report, "count a lost or damage line", [&] {
    const Variant& counter = context.lost_damage_counter;
    context.lost_damage_counter = Variant(counter.IsEmpty() ? 1.0 : counter.ToDouble() + 1);
  });
}

}  // namespace

void AddLostLine(host::CompanyContext& context, const Variant& item_code, const Variant& party_code,
                 const Variant& on_date, FinancialYear year) {
  std::shared_ptr<HostRecordset> rows =
      MarkedLines(context, queries::LostItems, PartyMarkedLines::Kind::kLost, "lost", item_code,
                  party_code, on_date, year);
  Variant total(int16_t{0});
  ForEachRow(context, rows, "lost", [&](HostRecordset& row) {
    host::Attempt(context.report, "add a lost quantity to the day's total",
                  [&] { total = AddQuantity(total, row.Field("value1")); });
  });
  if (!WorthALine(total)) return;

  RentLine line(context);
  line.Set("SrNo", context.lost_damage_counter);
  line.Set("Uname", context.user_name);
  line.Set("Code1", item_code);
  line.Set("Days", int16_t{0});
  line.Set("Qty", total);
  line.Set("Price", GetReplacementRate(context, party_code, item_code));
  line.Set("D1", context.bs2);
  line.Set("RNo", "Lost");
  // The amount comes from the rate as the row stores it; a null rate leaves it null.
  Variant price = line.Get("Price");
  host::Attempt(context.report, "work out Qty2 of a lost line", [&] {
    line.Set("Qty2",
             price.IsNull() ? Variant::Null() : Variant(price.ToDouble() * total.ToDouble()));
  });
  line.Set("RecType", int16_t{2});
  CountLine(context);
  line.Save();
}

void AddDamageLine(host::CompanyContext& context, const Variant& item_code,
                   const Variant& party_code, const Variant& on_date, FinancialYear year) {
  std::shared_ptr<HostRecordset> rows =
      MarkedLines(context, queries::DamagedItems, PartyMarkedLines::Kind::kDamaged, "damaged",
                  item_code, party_code, on_date, year);
  Variant total(int16_t{0});
  double charge = 0;
  ForEachRow(context, rows, "damaged", [&](HostRecordset& row) {
    Variant quantity = row.Field("value1");
    host::Attempt(context.report, "add a damaged quantity to the day's total",
                  [&] { total = AddQuantity(total, quantity); });
    // A row whose party has no value for the item is charged at rate 0; a row
    // without a quantity adds no charge.
    Variant rate = GetDamageCharge(context, party_code, item_code, row.Field("dsc2"));
    if (quantity.IsNull()) return;
    host::Attempt(context.report, "add a damaged quantity's charge", [&] {
      charge = Val(NumberText(charge)) + Val(quantity.ToText()) * Val(rate.ToText());
    });
  });
  if (!WorthALine(total)) return;

  double quantity = total.ToDouble();
  RentLine line(context);
  auto set_two_decimals = [&](std::string_view column, double number) {
    host::Attempt(context.report, "work out " + std::string(column) + " of a damage line",
                  [&] { line.Set(column, TwoDecimalText(number)); });
  };
  line.Set("SrNo", context.lost_damage_counter);
  line.Set("Uname", context.user_name);
  line.Set("Code1", item_code);
  line.Set("Days", int16_t{0});
  set_two_decimals("Qty", quantity);
  // Per piece: the quantity-weighted mean of value × percentage ÷ 100.
  set_two_decimals("Price", charge / quantity);
  line.Set("D1", context.bs1);
  line.Set("RNo", "Damage");
  set_two_decimals("Qty2", charge);
  line.Set("RecType", int16_t{3});
  CountLine(context);
  line.Save();
}

void AddDamageAndLostLines(host::CompanyContext& context, const Variant& item_code,
                           const Variant& party_code, const Variant& on_date, FinancialYear year) {
  AddDamageLine(context, item_code, party_code, on_date, year);
  AddLostLine(context, item_code, party_code, on_date, year);
}

}  // namespace rnt::engine
