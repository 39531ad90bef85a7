#include "engine/party_stock.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ranges>

namespace rnt::engine {
namespace {

// A column's value as the queries compare it with a number: NaN for a null,
// a text or a date, which no comparison with a number finds equal.
double NumberOf(const Variant& value) {
  return value.IsNumber() ? value.ToDouble() : std::numeric_limits<double>::quiet_NaN();
}

bool IsOneOf(double value, std::initializer_list<double> numbers) {
  for (double number : numbers) {
    if (value == number) return true;
  }
  return false;
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

// Adds a value1 to a sum as SQL's sum() does: nulls are passed over, and a
// sum of nothing is null.
void AddTo(Variant& sum, double value) {
  if (std::isnan(value)) return;
  sum = Variant((sum.IsNull() ? 0.0 : sum.dbl()) + value);
}

}  // namespace

std::string PartyStock::Query(std::string_view party_code) {
  return "select VchType,VchCode,TranType,RefCode,[No] as chno,Value1,MasterCode1,MasterCode2,"
         "Date from Tran3 where MasterCode2=" +
         std::string(party_code);
}

bool PartyStock::ItemThenDay(const Entry& a, const Entry& b) {
  return std::pair(a.item, a.day) < std::pair(b.item, b.day);
}

std::optional<PartyStock> PartyStock::FromRows(HostRecordset& rows) {
  PartyStock stock;
  for (; !rows.Eof(); rows.MoveNext()) {
    Variant item = rows.Field("MasterCode1");
    Variant day = rows.Field("Date");
    if (item.IsNull() || day.IsNull()) continue;  // no query's day or item matches them
    if (item.type() != VariantType::kInt32 || day.type() != VariantType::kDate) {
      return std::nullopt;
    }
    if (stock.party_.IsEmpty()) stock.party_ = rows.Field("MasterCode2");
    Variant challan = rows.Field("chno");
    stock.entries_.push_back(
        Entry{item.int32(), day.date().serial(), NumberOf(rows.Field("VchType")),
              NumberOf(rows.Field("VchCode")), NumberOf(rows.Field("TranType")),
              NumberOf(rows.Field("RefCode")), NumberOf(rows.Field("Value1")),
              challan.type() == VariantType::kText ? std::optional<std::string>(challan.text())
                                                   : std::nullopt});
  }
  std::stable_sort(stock.entries_.begin(), stock.entries_.end(), ItemThenDay);
  return stock;
}

std::optional<DayTotalsRow> PartyStock::DayTotals(Date day, int32_t item,
                                                  const DayTotalsFilter& filter) const {
  const Entry key{item, day.serial(), 0, 0, 0, 0, 0, std::nullopt};
  auto [first, last] = std::equal_range(entries_.begin(), entries_.end(), key, ItemThenDay);
  if (first == last) return std::nullopt;
  using Kind = DayTotalsFilter::Kind;
  const bool by_reference = filter.kind == Kind::kReference;
  const double reference = by_reference ? filter.reference.ToDouble() : 0;
  DayTotalsRow row{Variant(item), party_, Variant::Null(), Variant::Null()};
  bool any = false;
  for (const Entry& entry : std::ranges::subrange(first, last)) {
    if (by_reference && entry.reference != reference) continue;
    any = true;
    if (filter.kind == Kind::kChallan && entry.challan != filter.challan) continue;
    const bool counted_type = IsOneOf(entry.tran_type, {5, 3, 0});
    bool issue = counted_type && entry.vch_type == 4;
    if (filter.kind == Kind::kLookAhead) {
      issue = issue && entry.challan && WithoutLeadingBlanks(*entry.challan) == filter.challan;
    }
    bool ret = counted_type && entry.vch_type == 11;
    if (filter.openings == queries::OpeningEntries::kCounted) {
      ret = ret || (entry.vch_type == 9 && entry.vch_code == -1400 && entry.tran_type == 0);
    }
    if (issue) AddTo(row.a1, entry.value);
    if (ret) AddTo(row.a2, entry.value);
  }
  if (!any) return std::nullopt;
  return row;
}

}  // namespace rnt::engine
