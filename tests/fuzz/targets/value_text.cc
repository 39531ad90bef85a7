// Any text as a number or a date, the way Val, the numeric and date
// conversions of values and the columns of the work table read it.
#include "rnt/value_text.h"
#include "db/column_conversion.h"
#include "fuzz_check.h"
#include "rnt/variant.h"

using rnt::fuzz::Require;
using rnt::fuzz::Tried;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(rnt::fuzz::TextOf(data, size));
  Tried([&] { rnt::Val(text); });
  if (const std::optional<double> number = rnt::ParseNumberText(text)) {
    Require(text.find(',') != std::string::npos || rnt::Val(text) == *number,
            "Val reads a plain number as a numeric column does");
    Require(rnt::ParseNumberText(rnt::NumberText(*number)).has_value(),
            "the text of a number reads as a number");
    Require(rnt::ParseNumberText(rnt::TwoDecimalText(*number)).has_value(),
            "an amount's text reads as a number");
  }
  if (const std::optional<rnt::Date> date = rnt::ParseDateText(text)) {
    Require(rnt::ParseDateText(rnt::ShortDateText(*date)) == date, "a short date reads back");
    Require(rnt::ParseDateText(rnt::FormatDate(*date, "dd-mmm-yyyy")) == date,
            "a date with its month's name reads back");
  }
  const rnt::Variant value(text);
  Tried([&] { rnt::FormatValue(value, "dd-mmm-yyyy"); });
  Tried([&] { value.ToDate(); });
  Tried([&] { value.ToDouble(); });
  Tried([&] { value.ToInt32(); });
  Tried([&] { value.ToInt16(); });
  Tried([&] { rnt::Negate(value); });
  for (rnt::db::ColumnKind kind : {rnt::db::ColumnKind::kFloat, rnt::db::ColumnKind::kInteger,
                                   rnt::db::ColumnKind::kDate, rnt::db::ColumnKind::kText}) {
    Tried([&] { rnt::db::ConvertForColumn({"Qty", kind, 40}, value); });
  }
  return 0;
}
