#pragma once

#include <cstdint>
#include <string>

#include "refhost/amount_grouping.h"

namespace rnt::cli {

// An amount in whole hundredths of the currency (paise), as a statement
// prints it. Totals are kept in hundredths so that each one is the sum of
// the printed amounts above it, never a rounding of amounts nobody sees.
using Hundredths = std::int64_t;

// The amount rounded as TwoDecimalText prints it: 0.335 gives 34. Throws
// rnt::Error naming the amount when it is not finite or too large to keep.
Hundredths PrintedHundredths(double amount);

// "1,234.56" for 123456; "1,23,456.50" for 12345650 grouped the Indian way.
std::string HundredthsText(
    Hundredths amount, refhost::AmountGrouping grouping = refhost::AmountGrouping::kInternational);

// An amount as a statement prints it: rounded to hundredths, grouped.
std::string AmountText(double amount, refhost::AmountGrouping grouping);

}  // namespace rnt::cli
