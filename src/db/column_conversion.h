#pragma once

#include "db/backend.h"
#include "rnt/variant.h"

namespace rnt::db {

// The value that a column stores when `value` is set into it, as the column
// reads it back: float and integer columns take numbers, dates (as their
// serial) and numeric text ("1,234.50" included); text columns take text of up
// to their length and the text of numbers and dates; date columns take dates
// and text that reads as a date. Empty and null store null. Throws rnt::Error,
// naming the column and the value, for anything the column cannot take.
Variant ConvertForColumn(const ColumnInfo& column, const Variant& value);

}  // namespace rnt::db
