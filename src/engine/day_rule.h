#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "rnt/date.h"

namespace rnt::engine {

// How the business counts the days it charges, as its settings (at_ILC's
// DayRule) name it:
// - both days: a day is charged for the pieces held at its start plus those
//   issued on it, so the day of delivery and the day of return both count;
// - end of day: a day is charged for the pieces held at its end, plus those
//   that went out and came back that same day;
// - as before: the walks' own day corrections, kept to reproduce old bills.
// Both calendar rules charge every day of a bill exactly once.
enum class DayRule { kBothDays, kEndOfDay, kAsBefore };

inline constexpr std::string_view kDayRuleColumn = "DayRule";

// The rule a setting's text names; an empty text is the default, both days.
// Nullopt for any other text.
std::optional<DayRule> ParseDayRule(std::string_view text);

// The setting's text of a rule: "both days", "end of day" or "as before".
std::string_view DayRuleText(DayRule rule);

// What a walk tells the calendar rules about a rent line it wrote, or about
// a day that moved material without changing the balance: the item, the day
// it stands for and what moved on it.
struct PeriodNote {
  std::string item;  // the item's code as text
  // The movement's day; for a carried line (opening or quiet item) the first
  // day it may charge.
  Date day;
  bool carried = false;
  double before = 0;  // what the party held before the day
  double in = 0;      // pieces issued on the day, as counted before netting
  double out = 0;     // pieces returned on the day, as counted before netting
};

// The pieces a rule charges for one movement day: `first_day` on the day
// itself, `after` on each later day until the next movement.
struct ChargedPieces {
  double first_day = 0;
  double after = 0;
};
ChargedPieces PiecesCharged(DayRule rule, double before, double in, double out);

}  // namespace rnt::engine
