#include "rnt/value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

#include "rnt/error.h"

namespace rnt {

namespace {

constexpr std::array<const char*, 12> kMonthAbbreviations = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// The power of ten of the leading significant digit of a decimal text of the
// form [-]digits[.digits][e[-]digits]; tells an overflow from an underflow.
int64_t DecimalMagnitude(std::string_view decimal) {
  size_t pos = decimal.starts_with('-') ? 1 : 0;
  int64_t integer_digits = 0;
  int64_t first_significant = -1;
  int64_t digit_index = 0;
  bool in_fraction = false;
  for (; pos < decimal.size(); ++pos) {
    const char c = decimal[pos];
    if (c == '.') {
      in_fraction = true;
    } else if (IsDigit(c)) {
      if (!in_fraction) ++integer_digits;
      if (c != '0' && first_significant < 0) first_significant = digit_index;
      ++digit_index;
    } else {
      break;
    }
  }
  int64_t exponent = 0;
  if (pos < decimal.size()) {  // at the 'e'
    ++pos;
    const bool negative = pos < decimal.size() && decimal[pos] == '-';
    if (negative) ++pos;
    for (; pos < decimal.size() && IsDigit(decimal[pos]); ++pos) {
      exponent = std::min<int64_t>(exponent * 10 + (decimal[pos] - '0'), 1'000'000);
    }
    if (negative) exponent = -exponent;
  }
  if (first_significant < 0) return 0;
  return integer_digits - first_significant - 1 + exponent;
}

// Converts a decimal text of the form [-]digits[.digits][e[-]digits], with at
// least one mantissa digit, without regard to the process locale. A number too
// small for a double is 0; one too large is nullopt.
std::optional<double> DecimalToDouble(std::string_view decimal) {
  double value = 0;
  const auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
  if (error == std::errc()) return value;
  if (error == std::errc::result_out_of_range && DecimalMagnitude(decimal) < 0) {
    return decimal.starts_with('-') ? -0.0 : 0.0;
  }
  return std::nullopt;
}

// Appends the digits at `pos` to `out`; returns how many there were.
size_t TakeDigits(std::string_view text, size_t& pos, std::string& out) {
  const size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) out += text[pos++];
  return pos - start;
}

// Reads an exponent ("e", optional sign, digits) at `pos` into `out`. Returns
// false, leaving `pos` alone, when there is no complete exponent there.
bool TakeExponent(std::string_view text, size_t& pos, std::string& out) {
  if (pos >= text.size() || Lower(text[pos]) != 'e') return false;
  size_t cursor = pos + 1;
  std::string exponent = "e";
  if (cursor < text.size() && (text[cursor] == '+' || text[cursor] == '-')) {
    if (text[cursor] == '-') exponent += '-';
    ++cursor;
  }
  if (TakeDigits(text, cursor, exponent) == 0) return false;
  out += exponent;
  pos = cursor;
  return true;
}

// Reads an unsigned number of `min_digits` to `max_digits` digits at `pos`.
std::optional<int> TakeNumber(std::string_view text, size_t& pos, size_t min_digits,
                              size_t max_digits) {
  size_t count = 0;
  int value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && count < max_digits) {
    value = value * 10 + (text[pos++] - '0');
    ++count;
  }
  if (count < min_digits) return std::nullopt;
  return value;
}

// The month (1..12) of a three-letter English abbreviation in any letter case.
std::optional<int> TakeMonthAbbreviation(std::string_view text, size_t& pos) {
  if (text.size() - pos < 3) return std::nullopt;
  for (size_t month = 0; month < kMonthAbbreviations.size(); ++month) {
    const char* name = kMonthAbbreviations[month];
    if (Lower(text[pos]) == Lower(name[0]) && Lower(text[pos + 1]) == Lower(name[1]) &&
        Lower(text[pos + 2]) == Lower(name[2])) {
      pos += 3;
      return static_cast<int>(month) + 1;
    }
  }
  return std::nullopt;
}

std::optional<Date> ExistingDay(std::optional<int> year, std::optional<int> month,
                                std::optional<int> day) {
  if (!year || !month || !day || *year < 100 || *year > 9999) return std::nullopt;
  const std::chrono::year_month_day ymd{std::chrono::year{*year},
                                        std::chrono::month{static_cast<unsigned>(*month)},
                                        std::chrono::day{static_cast<unsigned>(*day)}};
  if (!ymd.ok()) return std::nullopt;
  return Date::FromYmd(*year, *month, *day);
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string FourDigits(int n) {
  std::string text = std::to_string(n);
  return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

// Puts a comma between every group of three digits of a run of digits.
std::string GroupDigits(std::string_view digits) {
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

void RequireFinite(double value) {
  if (!std::isfinite(value)) throw Error("not a finite number: " + std::to_string(value));
}

}  // namespace

double Val(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  std::string decimal;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') decimal += '-';
    ++pos;
  }
  size_t digits = TakeDigits(text, pos, decimal);
  if (pos < text.size() && text[pos] == '.') {
    decimal += text[pos++];
    digits += TakeDigits(text, pos, decimal);
  }
  if (digits == 0) return 0;
  TakeExponent(text, pos, decimal);
  const std::optional<double> value = DecimalToDouble(decimal);
  if (!value) throw Error("number too large: " + Quoted(text));
  return *value;
}

std::string NumberText(double value) {
  RequireFinite(value);
  if (value == 0) return "0";  // also for -0
  std::array<char, 32> buffer;
  // Whole numbers of up to 15 digits (quantities, days, codes: most of what a
  // statement prints) read the same as their 15-digit text, without its cost.
  if (std::abs(value) < 1e15 && value == std::trunc(value)) {
    const auto whole =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<int64_t>(value));
    return std::string(buffer.data(), whole.ptr);
  }
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  std::replace(text.begin(), text.end(), 'e', 'E');
  return text;
}

std::optional<double> ParseNumberText(std::string_view text) {
  text = TrimBlanks(text);
  size_t pos = 0;
  std::string decimal;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') decimal += '-';
    ++pos;
  }
  size_t digits = 0;
  // Grouping commas stand only between digits of the integer part.
  while (pos < text.size()) {
    if (IsDigit(text[pos])) {
      decimal += text[pos++];
      ++digits;
    } else if (text[pos] == ',' && digits > 0 && pos + 1 < text.size() && IsDigit(text[pos + 1])) {
      ++pos;
    } else {
      break;
    }
  }
  if (pos < text.size() && text[pos] == '.') {
    decimal += text[pos++];
    digits += TakeDigits(text, pos, decimal);
  }
  if (digits == 0) return std::nullopt;
  if (pos < text.size() && !TakeExponent(text, pos, decimal)) return std::nullopt;
  if (pos != text.size()) return std::nullopt;
  return DecimalToDouble(decimal);
}

std::optional<Date> ParseDateText(std::string_view text) {
  text = TrimBlanks(text);
  size_t pos = 0;
  const bool iso =
      text.size() > 4 && std::all_of(text.begin(), text.begin() + 4, IsDigit) && text[4] == '-';
  std::optional<int> year, month, day;
  if (iso) {
    year = TakeNumber(text, pos, 4, 4);
    ++pos;  // the '-' checked above
    month = TakeNumber(text, pos, 1, 2);
    if (pos >= text.size() || text[pos++] != '-') return std::nullopt;
    day = TakeNumber(text, pos, 1, 2);
  } else {
    day = TakeNumber(text, pos, 1, 2);
    if (!day || pos >= text.size() || (text[pos] != '-' && text[pos] != '/')) return std::nullopt;
    const char separator = text[pos++];
    const bool named_month = separator == '-' && pos < text.size() && !IsDigit(text[pos]);
    month = named_month ? TakeMonthAbbreviation(text, pos) : TakeNumber(text, pos, 1, 2);
    if (pos >= text.size() || text[pos++] != separator) return std::nullopt;
    year = TakeNumber(text, pos, 4, 4);
  }
  if (pos != text.size()) return std::nullopt;
  return ExistingDay(year, month, day);
}

std::string FormatDate(Date date, std::string_view pattern) {
  std::string lowered(pattern);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
  const std::string day = TwoDigits(date.day());
  const std::string year = FourDigits(date.year());
  if (lowered == "dd-mmm-yyyy") {
    return day + "-" + kMonthAbbreviations[date.month() - 1] + "-" + year;
  }
  if (lowered == "dd-mm-yyyy") return day + "-" + TwoDigits(date.month()) + "-" + year;
  throw Error("unsupported date pattern: " + Quoted(pattern));
}

std::string ShortDateText(Date date) { return FormatDate(date, "dd-mm-yyyy"); }

Variant FormatValue(const Variant& value, std::string_view pattern) {
  switch (value.type()) {
    case VariantType::kEmpty:
      return Variant(std::string());
    case VariantType::kNull:
      return Variant::Null();
    case VariantType::kText: {
      const std::optional<Date> date = ParseDateText(value.text());
      return date ? Variant(FormatDate(*date, pattern)) : value;
    }
    default:  // dates, numbers as date serials; objects fail in ToDate
      return Variant(FormatDate(value.ToDate(), pattern));
  }
}

std::string TwoDecimalText(double value) {
  RequireFinite(value);
  // Round the number as its 15 significant digits show it, half away from
  // zero, so that an amount such as 2.675 gives 2.68 as it reads.
  std::array<char, 32> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::scientific, 14);
  const std::string_view scientific(buffer.data(), result.ptr - buffer.data());
  const size_t exponent_at = scientific.find('e');
  std::string digits;  // 15 significant digits: value = digits * 10^(exponent - 14)
  for (char c : scientific.substr(0, exponent_at)) {
    if (IsDigit(c)) digits += c;
  }
  int exponent = 0;
  std::from_chars(scientific.data() + exponent_at + (scientific[exponent_at + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  // Hundredths: digits * 10^(exponent - 12), rounded.
  const int shift = exponent - 12;
  std::string hundredths;
  if (shift >= 0) {
    hundredths = digits + std::string(shift, '0');
  } else if (-shift <= static_cast<int>(digits.size())) {
    const size_t kept = digits.size() + shift;
    hundredths = digits.substr(0, kept);
    if (digits[kept] >= '5') {
      // Add one hundredth, carrying through the nines.
      size_t i = hundredths.size();
      while (i > 0 && hundredths[i - 1] == '9') hundredths[--i] = '0';
      if (i == 0) {
        hundredths.insert(hundredths.begin(), '1');
      } else {
        ++hundredths[i - 1];
      }
    }
  }
  hundredths.erase(0, std::min(hundredths.find_first_not_of('0'), hundredths.size()));
  const bool zero = hundredths.empty();
  if (hundredths.size() < 3) hundredths.insert(0, 3 - hundredths.size(), '0');
  const std::string_view whole = std::string_view(hundredths).substr(0, hundredths.size() - 2);
  const std::string_view cents = std::string_view(hundredths).substr(hundredths.size() - 2);
  return std::string(value < 0 && !zero ? "-" : "") + GroupDigits(whole) + "." + std::string(cents);
}

}  // namespace rnt
