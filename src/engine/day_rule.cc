#include "engine/day_rule.h"

#include <algorithm>

#include "core/text_util.h"

namespace rnt::engine {

std::optional<DayRule> ParseDayRule(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed.empty() || EqualsIgnoringCase(trimmed, "both days")) return DayRule::kBothDays;
  if (EqualsIgnoringCase(trimmed, "end of day")) return DayRule::kEndOfDay;
  if (EqualsIgnoringCase(trimmed, "as before")) return DayRule::kAsBefore;
  return std::nullopt;
}

std::string_view DayRuleText(DayRule rule) {
  switch (rule) {
    case DayRule::kEndOfDay:
      return "end of day";
    case DayRule::kAsBefore:
      return "as before";
    case DayRule::kBothDays:
      break;
  }
  return "both days";
}

ChargedPieces PiecesCharged(DayRule rule, double before, double in, double out) {
  const double after = before + in - out;
  ChargedPieces charged{after, after};
  if (rule == DayRule::kBothDays) {
    charged.first_day = before + in;
  } else {
    // The earliest pieces go back first: a return beyond what was held at
    // the day's start takes back pieces issued that same day.
    charged.first_day = after + std::min(in, std::max(0.0, out - before));
  }
  // A balance below nothing (challans missing) charges nothing.
  charged.first_day = std::max(0.0, charged.first_day);
  charged.after = std::max(0.0, charged.after);
  return charged;
}

}  // namespace rnt::engine
