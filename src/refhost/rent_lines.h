#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "rnt/variant.h"

namespace rnt::refhost {

// One rent line as the add-on left it in the work table atShut: every column
// of the work table, in the table's order, under the column's own name.
struct RentLine {
  std::vector<std::pair<std::string, Variant>> columns;

  // The value of a column, found by name without regard to letter case.
  // Throws rnt::Error for a name that is not a column of the work table.
  Variant Get(std::string_view column) const;
};

// The orders in which the user's rent lines can be read: as they were
// written, or item by item in the order of the items' codes (lines without
// an item last), each item's lines as they were written.
enum class LineOrder { kWritten, kByItem };

// Hands the user's rent lines in atShut to `each` one at a time, in the
// order asked for, holding only the line at hand: a party
// with years of history has tens of thousands of them. A column that an older
// work table lacks reads as null. Throws rnt::Error when the table cannot be
// read. `each` must not use the connection.
void ForEachRentLine(db::Connection& connection, std::string_view user_name,
                     const std::function<void(const RentLine&)>& each,
                     LineOrder order = LineOrder::kWritten);

// The user's rent lines in atShut, all of them, as ForEachRentLine gives them.
std::vector<RentLine> ReadRentLines(db::Connection& connection, std::string_view user_name);

// An item whose balance with the party goes below nothing in the user's rent
// lines, which usually means that a year's challans are missing.
struct NegativeBalance {
  std::string item;  // the item's code, as a rent line's Code1 reads
  double lowest = 0;
};

// The items of the user's rent lines whose balance goes negative, by item
// code. Throws rnt::Error when the work table cannot be read.
std::vector<NegativeBalance> NegativeBalances(db::Connection& connection,
                                              std::string_view user_name);

}  // namespace rnt::refhost
