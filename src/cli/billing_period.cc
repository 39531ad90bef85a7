#include "cli/billing_period.h"

#include <charconv>

#include "cli/run_values.h"

namespace rnt::cli {
namespace {

// A whole number made of `text`'s digits only, or nullopt.
std::optional<int> Digits(std::string_view text) {
  int value = 0;
  if (text.empty()) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.front() == '-') {
    return std::nullopt;
  }
  return value;
}

// "07-2024" as the month's first day.
Date MonthOption(const std::string& text) {
  const size_t dash = text.find('-');
  std::optional<int> month, year;
  if (dash != std::string::npos && dash <= 2) {
    month = Digits(std::string_view(text).substr(0, dash));
    year = Digits(std::string_view(text).substr(dash + 1));
  }
  if (!month || !year || *month < 1 || *month > 12 || *year < 1900 || *year > 9998 ||
      text.size() - dash != 5) {
    throw CommandLineError("--month: not a month: '" + text + "' (expected MM-YYYY, as 07-2024)");
  }
  return Date::FromYmd(*year, *month, 1);
}

}  // namespace

BillingPeriod PeriodAsked(const std::optional<std::string>& rent_date,
                          const std::optional<std::string>& to,
                          const std::optional<std::string>& month) {
  const int given = int(rent_date.has_value()) + int(to.has_value()) + int(month.has_value());
  if (given == 0) {
    throw CommandLineError(
        "name the days to bill: --month MM-YYYY, --to DD-MM-YYYY (the last day billed) or "
        "--rent-date DD-MM-YYYY (the day after it)");
  }
  if (given > 1) {
    throw CommandLineError(
        "--month, --to and --rent-date each name the days to bill: give only one of them");
  }
  if (rent_date) return {DateOption("--rent-date", *rent_date), std::nullopt};
  if (to) return {DateOption("--to", *to).AddDays(1), std::nullopt};
  const Date first = MonthOption(*month);
  const Date next = first.month() == 12 ? Date::FromYmd(first.year() + 1, 1, 1)
                                        : Date::FromYmd(first.year(), first.month() + 1, 1);
  return {next, first};
}

}  // namespace rnt::cli
