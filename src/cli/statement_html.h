#pragma once

#include <ostream>

#include "cli/statement_format.h"

namespace rnt::cli {

// Prints the statement as one self-contained HTML file for the business to
// print or send: the letterhead and heading, one chart of what the party held
// of each item over the period (a strip per item on one shared date axis),
// and one table of every item's lines, so that the columns line up down the
// whole statement. In print, the column headings and the party's name stand
// on every page, and every page is numbered "page 2 of 3". The file needs
// nothing outside itself (styles inline, the chart inline SVG, no scripts,
// fonts or images to fetch) and is well-formed XML, every text from the
// company escaped. Throws rnt::Error as PrintStatement does.
void PrintHtmlStatement(const Statement& statement, std::ostream& out);

}  // namespace rnt::cli
