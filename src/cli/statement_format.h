#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "refhost/rent_lines.h"

namespace rnt::cli {

// One party's rent statement for one rent date: the user's rent lines in the
// order in which they were written, with what a reader needs around them.
struct Statement {
  std::string party;
  std::string rent_date;  // as the user gave it, "dd-mm-yyyy"
  std::string user;
  std::vector<refhost::RentLine> lines;
  // The items' names, keyed by the text of a line's Code1 ("101"); an item
  // without a name is shown by its code.
  std::map<std::string, std::string> item_names;
};

// The ways a statement can be printed: an aligned table to read, CSV and
// JSON for other programs, and a printable HTML file with charts.
enum class StatementFormat { kTable, kCsv, kJson, kHtml };

// Reads a format's name ("table", "csv", "json", "html"); throws rnt::Error
// naming the value otherwise.
StatementFormat ParseStatementFormat(std::string_view name);

// Prints the statement in the format. Throws rnt::Error when a number column
// of a line (days, quantities, rate, amount) holds something that is not a
// number.
void PrintStatement(const Statement& statement, StatementFormat format, std::ostream& out);

// What the statement charges: the sum of the lines' amounts (Qty2), a line
// without an amount counting as 0. Throws rnt::Error for an amount that is not
// a number.
double GrandTotal(const Statement& statement);

}  // namespace rnt::cli
