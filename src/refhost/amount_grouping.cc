#include "refhost/amount_grouping.h"

#include "core/text_util.h"

namespace rnt::refhost {

std::optional<AmountGrouping> ParseAmountGrouping(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed.empty() || EqualsIgnoringCase(trimmed, "international")) {
    return AmountGrouping::kInternational;
  }
  if (EqualsIgnoringCase(trimmed, "indian")) return AmountGrouping::kIndian;
  return std::nullopt;
}

std::string_view AmountGroupingText(AmountGrouping grouping) {
  return grouping == AmountGrouping::kIndian ? "indian" : "international";
}

std::string GroupDigits(std::string_view digits, AmountGrouping grouping) {
  std::string text(digits);
  // Thousands first; the Indian way goes on in hundreds (lakhs, crores).
  const size_t step = grouping == AmountGrouping::kIndian ? 2 : 3;
  if (text.size() <= 3) return text;
  for (size_t at = text.size() - 3; at > 0; at = at > step ? at - step : 0) text.insert(at, ",");
  return text;
}

}  // namespace rnt::refhost
