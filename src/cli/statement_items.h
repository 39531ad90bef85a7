#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/statement_format.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"

// The statement as its reader sees it, shared by the table and the HTML file:
// the lines grouped by item, each line's cells as printed texts.
namespace rnt::cli {

// What a rent line charges for, from its RecType.
enum class LineKind { kRent, kLost, kDamaged };

// The columns of the statement's table, in their order.
enum class StatementColumn : size_t {
  kChallan,
  kFrom,
  kTo,
  kDays,
  kHeld,
  kRate,
  kQuantityDays,
  kAmount,
  kNote,
};
inline constexpr size_t kStatementColumns = 9;

// A column's heading, and whether its cells are numbers (set to the right).
struct ColumnHeading {
  std::string_view text;
  bool numeric;
};
const std::array<ColumnHeading, kStatementColumns>& StatementHeadings();

// One rent line as the statement shows it.
struct StatementRow {
  const refhost::RentLine* line;
  LineKind kind;
  std::array<std::string, kStatementColumns> cells;

  const std::string& cell(StatementColumn column) const {
    return cells[static_cast<size_t>(column)];
  }
};

// One item of the statement: its title, the rows of its lines in the order in
// which they were written, and what they charge together.
struct StatementItem {
  std::string code;   // the text of the lines' Code1; empty for lines without one
  std::string title;  // "Shuttering plate (101)", or "Item 101" without a name
  std::vector<StatementRow> rows;
  double subtotal = 0;
};

// The statement's lines grouped by item, the items in the order in which each
// one's first line was written. Throws rnt::Error for a number column that
// holds something other than a number.
std::vector<StatementItem> StatementItems(const Statement& statement);

// A number column of a line; nullopt when it is null or empty. Throws
// rnt::Error naming the column, the line and the value when it is not a number.
std::optional<double> LineNumber(const refhost::RentLine& line, std::string_view column);

// A date column of a line; nullopt when it is null, empty or not a date.
std::optional<Date> LineDate(const refhost::RentLine& line, std::string_view column);

}  // namespace rnt::cli
