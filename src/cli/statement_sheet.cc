#include "cli/statement_sheet.h"

#include <vector>

#include "cli/statement_items.h"

namespace rnt::cli {
namespace {

void PrintRow(const std::vector<std::string>& fields, std::ostream& out) {
  for (size_t i = 0; i < fields.size(); ++i) out << (i ? "," : "") << CsvField(fields[i]);
  out << "\n";
}

// A total's row: its label in Item, its amount under the amounts.
void PrintTotal(const std::string& party, const std::string& label, const std::string& amount,
                std::ostream& out) {
  std::vector<std::string> fields(3 + kStatementColumns);
  fields[0] = party;
  fields[1] = label;
  fields[2 + static_cast<size_t>(StatementColumn::kAmount)] = amount;
  PrintRow(fields, out);
}

}  // namespace

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void PrintSheetHeader(std::ostream& out) {
  std::vector<std::string> fields = {"Party", "Item"};
  for (const ColumnHeading& heading : StatementHeadings()) fields.emplace_back(heading.text);
  fields.emplace_back("Note");
  out << "\xEF\xBB\xBF";
  PrintRow(fields, out);
}

void PrintSheet(const Statement& statement, std::ostream& out, bool header) {
  // Everything that can fail is worked out before the first byte is written.
  const std::vector<StatementItem> items = StatementItems(statement);
  const refhost::AmountGrouping grouping = statement.header.amount_grouping;
  const std::string grand_total = HundredthsText(GrandTotal(statement), grouping);
  const std::string& party = statement.header.party;
  if (header) PrintSheetHeader(out);
  for (const StatementItem& item : items) {
    for (const StatementRow& row : item.rows) {
      std::vector<std::string> fields = {party, item.title};
      fields.insert(fields.end(), row.cells.begin(), row.cells.end());
      fields.push_back(row.explanation);
      PrintRow(fields, out);
    }
    PrintTotal(party, "Subtotal: " + item.title, HundredthsText(item.subtotal, grouping), out);
  }
  PrintTotal(party, "Grand total", grand_total, out);
}

}  // namespace rnt::cli
