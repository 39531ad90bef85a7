#include "cli/money.h"

#include <charconv>

#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {

Hundredths PrintedHundredths(double amount) {
  // The printed text itself is read back, so that the hundredths kept are
  // exactly those shown.
  std::string digits;
  for (char c : TwoDecimalText(amount)) {
    if (c != ',' && c != '.') digits += c;
  }
  Hundredths hundredths = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), hundredths);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    throw Error("the amount " + NumberText(amount) + " is too large for a statement");
  }
  return hundredths;
}

std::string HundredthsText(Hundredths amount, refhost::AmountGrouping grouping) {
  const Hundredths whole = amount / 100;
  const Hundredths cents = (amount < 0 ? -amount : amount) % 100;
  const std::string digits = std::to_string(whole < 0 ? -whole : whole);
  return (amount < 0 ? "-" : "") + refhost::GroupDigits(digits, grouping) + "." +
         (cents < 10 ? "0" : "") + std::to_string(cents);
}

std::string AmountText(double amount, refhost::AmountGrouping grouping) {
  return HundredthsText(PrintedHundredths(amount), grouping);
}

}  // namespace rnt::cli
