#include "engine/value_helpers.h"

#include <cstdint>

#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {

std::string SqlDateText(const Variant& value) {
  // A failed formatting is skipped and leaves the literal empty: a rent run
  // goes on with a query that finds nothing rather than stopping on one bad
  // date field.
  try {
    return FormatValue(value, "DD-MMM-YYYY").ToText();
  } catch (const Error&) {
    return std::string();
  }
}

Variant AbsoluteValue(const Variant& value) {
  // Deliberately no catch: a null quantity makes the caller's statement fail.
  if (Val(value.ToText()) >= 0) return value;
  return Negate(value);
}

Variant NullToZero(const Variant& value) {
  if (value.IsNull()) return Variant(int16_t{0});
  return value;
}

}  // namespace rnt::engine
