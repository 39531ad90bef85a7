#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "cli/statement_format.h"

namespace rnt::cli {

// A text as one CSV field: quoted, its quotes doubled, when it holds a
// comma, a quote or a line break.
std::string CsvField(std::string_view text);

// The sheet's header row: Party, Item, Challan, From, To, Days, Held, Rate,
// Qty-days, Amount, Note; after a byte order mark, so that a spreadsheet
// reads "×" as it is written.
void PrintSheetHeader(std::ostream& out);

// The statement as a spreadsheet reads it: one row per line as the table
// shows it (the amounts as printed, the dates as DD-MM-YYYY text, the
// explanation of a lost, damaged or returned line in Note), a row per
// item's subtotal ("Subtotal: Prop 3m (205)" in Item) and one for the grand
// total ("Grand total"). With `header`, the header row first. Throws
// rnt::Error as PrintStatement does.
void PrintSheet(const Statement& statement, std::ostream& out, bool header = true);

}  // namespace rnt::cli
