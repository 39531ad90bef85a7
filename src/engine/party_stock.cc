#include "engine/party_stock.h"

#include <cmath>

namespace rnt::engine {
namespace {

// Whether a column's value equals a number as the database compares them: a
// number with the same value; a null, a text or a date never does.
bool IsNumber(const Variant& value, double number) {
  return value.IsNumber() && value.ToDouble() == number;
}

bool IsOneOf(const Variant& value, std::initializer_list<double> numbers) {
  for (double number : numbers) {
    if (IsNumber(value, number)) return true;
  }
  return false;
}

bool IsText(const Variant& value, std::string_view text) {
  return value.type() == VariantType::kText && value.text() == text;
}

std::string_view WithoutLeadingBlanks(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  return begin == std::string_view::npos ? std::string_view() : text.substr(begin);
}

// Adds a value1 to a sum as SQL's sum() does: nulls are passed over, and a
// sum of nothing is null.
void AddTo(Variant& sum, const Variant& value) {
  if (!value.IsNumber()) return;
  sum = Variant((sum.IsNull() ? 0.0 : sum.dbl()) + value.ToDouble());
}

}  // namespace

std::string PartyStock::Query(std::string_view party_code) {
  return "select VchType,VchCode,TranType,RefCode,[No] as chno,Value1,MasterCode1,MasterCode2,"
         "Date from Tran3 where MasterCode2=" +
         std::string(party_code);
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
    stock.entries_[{item.int32(), day.date().serial()}].push_back(
        Entry{rows.Field("VchType"), rows.Field("VchCode"), rows.Field("TranType"),
              rows.Field("RefCode"), rows.Field("chno"), rows.Field("Value1")});
  }
  return stock;
}

std::optional<DayTotalsRow> PartyStock::DayTotals(Date day, int32_t item,
                                                  const DayTotalsFilter& filter) const {
  auto found = entries_.find({item, day.serial()});
  if (found == entries_.end()) return std::nullopt;
  using Kind = DayTotalsFilter::Kind;
  const bool by_reference = filter.kind == Kind::kReference;
  const double reference = by_reference ? filter.reference.ToDouble() : 0;
  DayTotalsRow row{Variant(item), party_, Variant::Null(), Variant::Null()};
  bool any = false;
  for (const Entry& entry : found->second) {
    if (by_reference && !IsNumber(entry.reference, reference)) continue;
    any = true;
    if (filter.kind == Kind::kChallan && !IsText(entry.challan, filter.challan)) continue;
    const bool counted_type = IsOneOf(entry.tran_type, {5, 3, 0});
    bool issue = counted_type && IsNumber(entry.vch_type, 4);
    if (filter.kind == Kind::kLookAhead) {
      issue = issue && entry.challan.type() == VariantType::kText &&
              WithoutLeadingBlanks(entry.challan.text()) == filter.challan;
    }
    bool ret = counted_type && IsNumber(entry.vch_type, 11);
    if (filter.openings == queries::OpeningEntries::kCounted) {
      ret = ret || (IsNumber(entry.vch_type, 9) && IsNumber(entry.vch_code, -1400) &&
                    IsNumber(entry.tran_type, 0));
    }
    if (issue) AddTo(row.a1, entry.value);
    if (ret) AddTo(row.a2, entry.value);
  }
  if (!any) return std::nullopt;
  return row;
}

}  // namespace rnt::engine
