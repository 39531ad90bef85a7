#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rnt/date.h"
#include "rnt/variant.h"

// The platform's number and date texts, fixed to one locale: day-first dates,
// short-date text "dd-mm-yyyy", point as decimal separator, comma digit
// grouping, English month abbreviations.
namespace rnt {

// The leading number of a text: blanks, tabs and line feeds are skipped, then
// an optional sign, digits, one decimal point and an exponent are read up to
// the first character that cannot continue the number. No number gives 0.
// "12abc" -> 12, "1,234.50" -> 1, " 7" -> 7, "" -> 0. Throws rnt::Error when
// the number is too large for a double.
double Val(std::string_view text);

// The text of a number: at most 15 significant digits, no trailing zeros, no
// trailing point ("0.3" for 0.1+0.2, "90", "2.5", "-0.25"); -0 gives "0".
// Throws rnt::Error for infinities and NaN.
std::string NumberText(double value);

// A text read as a number the way a float column or a numeric conversion
// reads it: surrounding blanks allowed, an optional sign, digits with optional
// comma grouping, a decimal point and an exponent. Grouping commas stand only
// between digits of the integer part ("1,234.50", not "1,2," or ",12").
// Anything else, and numbers too large for a double, give nullopt.
std::optional<double> ParseNumberText(std::string_view text);

// A text read as a date: "dd-mm-yyyy", "dd/mm/yyyy", "dd-MMM-yyyy" (month
// abbreviation in any letter case) or ISO "yyyy-mm-dd", with surrounding
// blanks allowed; day and month may have one or two digits. Anything else, and
// days that do not exist, give nullopt.
std::optional<Date> ParseDateText(std::string_view text);

// A date formatted with one of the engine's patterns, letters in any case:
// "dd-mmm-yyyy" gives 05-Apr-2021, "dd-mm-yyyy" gives 05-04-2021. Throws
// rnt::Error for any other pattern.
std::string FormatDate(Date date, std::string_view pattern);

// The platform's short-date text: "dd-mm-yyyy".
std::string ShortDateText(Date date);

// Formats a value with a date pattern as the platform's Format does: a date,
// or text that reads as a date, gives the formatted date; other text comes back
// unchanged; a number is taken as a date serial number; empty gives the empty
// text; null gives null.
Variant FormatValue(const Variant& value, std::string_view pattern);

// A number with exactly two decimals, a leading zero, a minus sign for
// negatives and comma digit grouping: 1234.5 -> "1,234.50", 0.5 -> "0.50".
// The number is rounded as its 15 significant digits read, half away from zero
// (2.675 -> "2.68"); an amount that rounds to zero has no sign. Throws
// rnt::Error for infinities and NaN.
std::string TwoDecimalText(double value);

}  // namespace rnt
