#pragma once

#include <optional>
#include <string>

#include "rnt/date.h"

namespace rnt::cli {

// The days a clerk asks a bill for, in the words the clerk uses: a calendar
// month, the last day billed, or the rent date itself (the day after the last
// day billed), which the add-on is given.
struct BillingPeriod {
  Date rent_date;
  // The month's first day when a month was asked for: the statement's period
  // starts there unless the bill reaches further back.
  std::optional<Date> month_start;
};

// Reads the one of --rent-date DD-MM-YYYY, --to DD-MM-YYYY and --month
// MM-YYYY that was given. Throws CommandLineError when none or more than one
// was given, or a value is not a date or a month.
BillingPeriod PeriodAsked(const std::optional<std::string>& rent_date,
                          const std::optional<std::string>& to,
                          const std::optional<std::string>& month);

}  // namespace rnt::cli
