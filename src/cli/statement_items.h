#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/money.h"
#include "cli/statement_format.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"

// The statement as its reader sees it, shared by the table and the HTML file:
// the heading's texts, the lines grouped by item, each line's cells as
// printed texts.
namespace rnt::cli {

// What a rent line shows: rent for a period, the return of everything that
// the party held (a line of no days and nothing held), or a charge for lost
// or damaged pieces.
enum class LineKind { kRent, kReturn, kLost, kDamaged };

// RecType of the lines that charge for lost and for damaged pieces; every
// other line charges rent for a period.
inline constexpr double kLostLine = 2;
inline constexpr double kDamagedLine = 3;

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
};
inline constexpr size_t kStatementColumns = 8;

// The columns that a line other than a rent period leaves to its
// explanation ("2 lost × 140.00"): from To up to the amount.
inline constexpr size_t kExplanationFirst = static_cast<size_t>(StatementColumn::kTo);
inline constexpr size_t kExplanationColumns =
    static_cast<size_t>(StatementColumn::kAmount) - kExplanationFirst;

// A column's heading, and whether its cells are numbers (set to the right).
struct ColumnHeading {
  std::string_view text;
  bool numeric;
};
const std::array<ColumnHeading, kStatementColumns>& StatementHeadings();

// One rent line as the statement shows it. A rent period fills the cells; any
// other line fills the challan, the date and the amount, and says in its
// explanation what it charges for, in place of the cells from To on.
struct StatementRow {
  const refhost::RentLine* line;
  LineKind kind;
  std::array<std::string, kStatementColumns> cells;
  std::string explanation;

  const std::string& cell(StatementColumn column) const {
    return cells[static_cast<size_t>(column)];
  }
};

// One item of the statement: its title, the rows of its lines in the order in
// which they were written (each line of a day naming every challan of it), and what they charge
// together: the sum of their amounts as printed.
struct StatementItem {
  std::string code;   // the text of the lines' Code1; empty for lines without one
  std::string title;  // "Shuttering plate (101)", or "Item 101" without a name
  std::vector<StatementRow> rows;
  Hundredths subtotal = 0;
};

// The statement's lines grouped by item, the items in the order of their
// codes. Each lost or damage line is given the challan and date of the
// item's marked pieces that it charges (of either year); a full return says
// how many of its pieces were lost or damaged. Throws rnt::Error for a number
// column that holds something other than a number.
std::vector<StatementItem> StatementItems(const Statement& statement);

// The first day that the statement bills: the day after the rent voucher it
// continues from, else the first day of its earliest rent period or of the
// month asked for, whichever is earlier, else its closing day.
Date FirstDayBilled(const Statement& statement);

// The heading's lines after the party's name, as label and text: the period
// ("01-06-2024 to 30-06-2024") and the rent voucher it continues from, how
// its days were counted, and the statement's number once posted.
std::vector<std::pair<std::string, std::string>> HeadingFacts(const Statement& statement);

// Whether an item's code comes before another's on a statement: numbers by
// their value ("99" before "101"), other codes after them by their text, the
// empty code (lines without an item) last.
bool ItemCodeBefore(std::string_view a, std::string_view b);

// A rate as stored, to four decimals at most and two at least: 0.405 gives
// "0.405", 1.2 "1.20", 0.8125 "0.8125", 2200 "2,200.00" (grouped as the
// company groups amounts).
std::string RateText(double rate,
                     refhost::AmountGrouping grouping = refhost::AmountGrouping::kInternational);

// A number column of a line; nullopt when it is null or empty. Throws
// rnt::Error naming the column, the line and the value when it is not a number.
std::optional<double> LineNumber(const refhost::RentLine& line, std::string_view column);

// A date column of a line; nullopt when it is null, empty or not a date.
std::optional<Date> LineDate(const refhost::RentLine& line, std::string_view column);

}  // namespace rnt::cli
