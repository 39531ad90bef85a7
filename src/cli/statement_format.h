#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/money.h"
#include "refhost/company_info.h"
#include "refhost/company_settings.h"
#include "refhost/day_challans.h"
#include "refhost/marked_pieces.h"
#include "refhost/posted_vouchers.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"

namespace rnt::cli {

// What a printed statement says about itself around its lines: who sends it,
// to whom, up to which day it bills, and the rent vouchers it stands between.
// The caller fills it from the host's tables; the first day billed follows
// from the voucher continued from, else from the lines.
struct StatementHeader {
  refhost::CompanyInfo company;
  std::string party;  // as Master1 names it
  Date closing_day;   // the last day billed: the day before the rent date
  std::optional<refhost::PostedRentVoucher> continued_from;
  // The rent voucher that the statement was posted as: its number.
  std::optional<refhost::PostedRentVoucher> posted_as;
  // How the days were counted: the company's day rule, read as the run reads it.
  refhost::DayRule day_rule = refhost::DayRule::kBothDays;
  // How its amounts group their digits: the company's setting.
  refhost::AmountGrouping amount_grouping = refhost::AmountGrouping::kInternational;
  // The first day of the month asked for: the period starts there unless the
  // bill reaches further back.
  std::optional<Date> month_start = std::nullopt;
};

// One party's rent statement for one rent date: the user's rent lines in the
// order in which they were written, with what a reader needs around them.
struct Statement {
  StatementHeader header;
  std::vector<refhost::RentLine> lines;
  // The items' names, keyed by the text of a line's Code1 ("101"); an item
  // without a name is shown by its code.
  std::map<std::string, std::string> item_names;
  // The party's voucher lines of lost and damaged pieces in the period, which
  // give the lost and damage lines their challans, dates and damage rates.
  std::vector<refhost::MarkedPiece> marked_pieces;
  // The party's challans by item and day, so that a line names every
  // challan of its day, not just the first.
  refhost::DayChallans day_challans;
};

// The ways a statement can be printed: an aligned table to read, CSV and
// JSON of the work table's columns for other programs, a printable HTML file
// with a chart, and a sheet: CSV of the statement as a person reads it.
enum class StatementFormat { kTable, kCsv, kJson, kHtml, kSheet };

// Reads a format's name ("table", "csv", "json", "html", "sheet"); throws
// rnt::Error naming the value otherwise.
StatementFormat ParseStatementFormat(std::string_view name);

// CSV and JSON, the formats other programs read, are written line by line as
// the lines come (item by item, in the order of the items' codes); the
// table, the HTML file and the sheet group the lines by item first.
bool IsStreamed(StatementFormat format);

// The columns that CSV and JSON add after the work table's own: the item's
// name and the party's.
inline constexpr std::string_view kItemNameColumn = "ItemName";
inline constexpr std::string_view kPartyColumn = "Party";

// Writes rent lines in CSV or JSON as they come, holding none of them, so
// that a statement of any length, or the statements of every party one after
// the other, make one document in the same little memory.
class StreamedStatement {
 public:
  // Throws rnt::Error for a format that is not streamed.
  StreamedStatement(StatementFormat format, std::ostream& out,
                    std::map<std::string, std::string> item_names);
  // Writes one line of the party as it stands, whatever its columns hold.
  void Add(const refhost::RentLine& line, std::string_view party);
  // Ends the document; call it once, after the last line.
  void Finish();
  // The sum of the amounts of the lines written so far, as GrandTotal adds
  // them. Throws rnt::Error naming the first amount that is not a number.
  Hundredths grand_total() const;

 private:
  StatementFormat format_;
  std::ostream& out_;
  std::map<std::string, std::string> item_names_;
  size_t lines_ = 0;
  Hundredths grand_total_ = 0;
  std::optional<std::string> bad_amount_;
};

// Orders rent lines item by item, in the order of the items' codes (lines
// without an item last); each item's lines keep their order.
void OrderByItem(std::vector<refhost::RentLine>& lines);

// Prints the statement in the format. Throws rnt::Error when a number column
// of a line (days, quantities, rate, amount) holds something that is not a
// number.
void PrintStatement(const Statement& statement, StatementFormat format, std::ostream& out);

// What the statement charges: the sum of the lines' amounts (Qty2) as printed,
// each rounded to hundredths first, a line without an amount counting as 0.
// Throws rnt::Error for an amount that is not a number.
Hundredths GrandTotal(const Statement& statement);

}  // namespace rnt::cli
