#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rnt::refhost {

// How a company's statements group the digits of an amount: in thousands
// (1,234,567.50), or the Indian way, the last three digits and then pairs
// (12,34,567.50).
enum class AmountGrouping { kInternational, kIndian };

// The at_ILC column that holds it: 'indian' or 'international'.
inline constexpr std::string_view kAmountGroupingColumn = "AmountGrouping";

// Reads 'indian' or 'international' (letter case and surrounding blanks
// ignored; blank reads as the default, international); nullopt otherwise.
std::optional<AmountGrouping> ParseAmountGrouping(std::string_view text);

// "indian" or "international".
std::string_view AmountGroupingText(AmountGrouping grouping);

// The digits of a whole number ("1234567") with the grouping's commas.
std::string GroupDigits(std::string_view digits, AmountGrouping grouping);

}  // namespace rnt::refhost
