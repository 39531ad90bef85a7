#include "db/column_conversion.h"

#include <cmath>

#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::db {
namespace {

[[noreturn]] void Refuse(const ColumnInfo& column, const Variant& value, std::string_view why) {
  throw Error("column " + column.name + " cannot take " + Describe(value) + ": " +
              std::string(why));
}

// Characters, not bytes: a party's or user's name may hold letters beyond ASCII.
int CharacterCount(const std::string& text) {
  int count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++count;
  }
  return count;
}

Variant ToNumber(const ColumnInfo& column, const Variant& value) {
  switch (value.type()) {
    case VariantType::kInt16:
    case VariantType::kInt32:
    case VariantType::kDouble:
      return Variant(value.ToDouble());
    case VariantType::kDate:
      return Variant(static_cast<double>(value.date().serial()));
    case VariantType::kText: {
      std::optional<double> number = ParseNumberText(value.text());
      if (!number) Refuse(column, value, "not a number");
      return Variant(*number);
    }
    default:
      Refuse(column, value, "not a number");
  }
}

}  // namespace

Variant ConvertForColumn(const ColumnInfo& column, const Variant& value) {
  if (value.IsEmpty() || value.IsNull()) return Variant::Null();
  if (value.type() == VariantType::kObject) Refuse(column, value, "an object is not a value");

  switch (column.kind) {
    case ColumnKind::kFloat:
      return ToNumber(column, value);
    case ColumnKind::kInteger: {
      double number = ToNumber(column, value).dbl();
      double rounded = std::nearbyint(number);
      if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        Refuse(column, value, "out of the range of whole numbers");
      }
      return Variant(static_cast<int32_t>(rounded));
    }
    case ColumnKind::kDate: {
      if (value.type() == VariantType::kDate) return value;
      if (value.type() == VariantType::kText) {
        if (std::optional<Date> date = ParseDateText(value.text())) return Variant(*date);
      }
      Refuse(column, value, "not a date");
    }
    case ColumnKind::kText:
    case ColumnKind::kOther: {
      std::string text = value.ToText();
      if (column.max_length > 0 && CharacterCount(text) > column.max_length) {
        Refuse(column, value,
               "longer than the column's " + std::to_string(column.max_length) + " characters");
      }
      return Variant(std::move(text));
    }
  }
  Refuse(column, value, "unknown column kind");
}

}  // namespace rnt::db
