// Any text as a number or a date, the way Val, the numeric and date
// conversions of values and the columns of the work table read it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "db/column_conversion.h"
#include "fuzz_check.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "rnt/variant.h"

using rnt::fuzz::Require;

namespace {

template <typename Read>
void Refusable(Read read) {
  try {
    read();
  } catch (const rnt::Error&) {
  }
}

void Numbers(std::string_view text) {
  Refusable([&] { rnt::Val(text); });
  const std::optional<double> number = rnt::ParseNumberText(text);
  if (!number) return;
  if (text.find(',') == std::string_view::npos) {
    Require(rnt::Val(text) == *number, "Val reads a plain number as a numeric column does");
  }
  const std::string written = rnt::NumberText(*number);
  Require(rnt::ParseNumberText(written).has_value(), "the text of a number reads as a number");
  Require(rnt::ParseNumberText(rnt::TwoDecimalText(*number)).has_value(),
          "an amount's text reads as a number");
}

void Dates(std::string_view text) {
  const std::optional<rnt::Date> date = rnt::ParseDateText(text);
  if (!date) return;
  Require(rnt::ParseDateText(rnt::ShortDateText(*date)) == date, "a short date reads back");
  Require(rnt::ParseDateText(rnt::FormatDate(*date, "dd-mmm-yyyy")) == date,
          "a date with its month's name reads back");
}

void Values(const std::string& text) {
  const rnt::Variant value(text);
  Refusable([&] { rnt::FormatValue(value, "dd-mmm-yyyy"); });
  Refusable([&] { value.ToDate(); });
  Refusable([&] { value.ToDouble(); });
  Refusable([&] { value.ToInt32(); });
  Refusable([&] { value.ToInt16(); });
  Refusable([&] { rnt::Negate(value); });
  for (rnt::db::ColumnKind kind : {rnt::db::ColumnKind::kFloat, rnt::db::ColumnKind::kInteger,
                                   rnt::db::ColumnKind::kDate, rnt::db::ColumnKind::kText}) {
    rnt::db::ColumnInfo column;
    column.name = "Qty";
    column.kind = kind;
    column.max_length = 40;
    Refusable([&] { rnt::db::ConvertForColumn(column, value); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(rnt::fuzz::TextOf(data, size));
  Numbers(text);
  Dates(text);
  Values(text);
  return 0;
}
