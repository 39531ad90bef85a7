#pragma once

#include <map>
#include <optional>
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

// CSV and JSON, the formats other programs read, are written line by line as
// the lines come; the table and the HTML file group the lines by item first.
bool IsStreamed(StatementFormat format);

// Writes a statement in CSV or JSON as its lines come, holding none of them,
// so that a statement of any length is written in the same little memory.
class StreamedStatement {
 public:
  // Throws rnt::Error for a format that is not streamed.
  StreamedStatement(StatementFormat format, std::ostream& out);
  // Writes one line as it stands, whatever its columns hold.
  void Add(const refhost::RentLine& line);
  // Ends the statement; call it once, after the last line.
  void Finish();
  // The sum of the amounts of the lines written so far, as GrandTotal adds
  // them. Throws rnt::Error naming the first amount that is not a number.
  double grand_total() const;

 private:
  StatementFormat format_;
  std::ostream& out_;
  size_t lines_ = 0;
  double grand_total_ = 0;
  std::optional<std::string> bad_amount_;
};

// Prints the statement in the format. Throws rnt::Error when a number column
// of a line (days, quantities, rate, amount) holds something that is not a
// number.
void PrintStatement(const Statement& statement, StatementFormat format, std::ostream& out);

// What the statement charges: the sum of the lines' amounts (Qty2), a line
// without an amount counting as 0. Throws rnt::Error for an amount that is not
// a number.
double GrandTotal(const Statement& statement);

}  // namespace rnt::cli
