#pragma once

#include <ostream>

#include "cli/statement_format.h"

namespace rnt::cli {

// Prints the statement as one self-contained HTML file for the business to
// print or send: the heading, the table of the table format and, per item, a
// chart of the quantity the party held over the period, drawn as inline SVG.
// It needs nothing outside the file (styles inline, no scripts, no fonts or
// images to fetch) and is well-formed XML, every text from the company
// escaped. Throws rnt::Error as PrintStatement does.
void PrintHtmlStatement(const Statement& statement, std::ostream& out);

}  // namespace rnt::cli
