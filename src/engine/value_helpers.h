#pragma once

#include <string>

#include "rnt/variant.h"

// The engine's helpers for raw field values of the host's tables, whose
// behaviour on null, empty and text values the rent walks rely on.
namespace rnt::engine {

// The date of a query literal, "DD-MMM-YYYY" (05-Apr-2021), without the "#"
// that the query pieces put around it. Dates and date texts are formatted,
// other text comes back as it is, numbers are date serials. A value that
// cannot be formatted, a null above all, gives "" (the query then holds "##").
std::string SqlDateText(const Variant& value);

// The value itself when the leading number of its text is 0 or more (text
// stays text, empty stays empty), otherwise the value negated. Throws
// rnt::Error for a null or an object, which have no text, and for text that
// starts with a negative number but is not one ("-12abc").
Variant AbsoluteValue(const Variant& value);

// The 16-bit integer 0 for a null; a copy of any other value (empty stays empty).
Variant NullToZero(const Variant& value);

}  // namespace rnt::engine
