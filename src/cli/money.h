#pragma once

#include <cstdint>
#include <string>

namespace rnt::cli {

// An amount in whole hundredths of the currency (paise), as a statement
// prints it. Totals are kept in hundredths so that each one is the sum of
// the printed amounts above it, never a rounding of amounts nobody sees.
using Hundredths = std::int64_t;

// The amount rounded as TwoDecimalText prints it: 0.335 gives 34. Throws
// rnt::Error naming the amount when it is not finite or too large to keep.
Hundredths PrintedHundredths(double amount);

// "1,234.56" for 123456.
std::string HundredthsText(Hundredths amount);

}  // namespace rnt::cli
