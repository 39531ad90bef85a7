#include "cli/statement_format.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "cli/statement_html.h"
#include "cli/statement_items.h"
#include "cli/statement_sheet.h"
#include "db/work_table.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

const std::string kNoName;

// A cell as the user reads it: numbers in their shortest text, null empty.
std::string CellText(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

nlohmann::ordered_json JsonValue(const Variant& value) {
  switch (value.type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      return nullptr;
    case VariantType::kInt16:
    case VariantType::kInt32:
      return value.ToInt32();
    case VariantType::kDouble:
      return value.dbl();
    default:
      return value.ToText();
  }
}

// The value of the work table's column at `index` in a line: found in its
// place when the line holds its columns in the table's order, as lines read
// from the work table do, else by name.
Variant ColumnValue(const refhost::RentLine& line, size_t index) {
  const std::string_view name = db::WorkTableColumns()[index];
  if (index < line.columns.size() && line.columns[index].first == name) {
    return line.columns[index].second;
  }
  return line.Get(name);
}

void PrintCsvHeader(std::ostream& out) {
  for (std::string_view column : db::WorkTableColumns()) out << column << ",";
  out << kItemNameColumn << "," << kPartyColumn << "\n";
}

void PrintCsvLine(const refhost::RentLine& line, const std::string& item_name,
                  std::string_view party, std::ostream& out) {
  for (size_t i = 0; i < db::WorkTableColumns().size(); ++i) {
    out << CsvField(CellText(ColumnValue(line, i))) << ",";
  }
  out << CsvField(item_name) << "," << CsvField(std::string(party)) << "\n";
}

// One line as an element of the statement's array, laid out as the array's
// own two-space indented dump would lay it out.
void PrintJsonLine(const refhost::RentLine& line, const std::string& item_name,
                   std::string_view party, bool first, std::ostream& out) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  const auto& columns = db::WorkTableColumns();
  for (size_t i = 0; i < columns.size(); ++i) {
    object[std::string(columns[i])] = JsonValue(ColumnValue(line, i));
  }
  object[std::string(kItemNameColumn)] = item_name;
  object[std::string(kPartyColumn)] = party;
  std::string text = object.dump(2);
  std::string indented = "  ";
  for (char c : text) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  out << (first ? "[\n" : ",\n") << indented;
}

// Lays out the statement's table for a fixed-width screen or printer: every
// item's rows share one set of column widths, so that the columns line up
// down the whole statement, the explanations of lost, damaged and returned
// pieces fit between the date and the amount, and subtotals and the grand
// total stand under the amounts.
class TableLayout {
 public:
  TableLayout(const std::vector<StatementItem>& items, const std::string& grand_total,
              refhost::AmountGrouping grouping) {
    for (size_t i = 0; i < kStatementColumns; ++i) widths_[i] = StatementHeadings()[i].text.size();
    Widen(kAmount, grand_total);
    size_t explanation = 0;
    size_t unpriced = 0;
    size_t challans = 0;  // the widest challan cell, all on one line
    for (const StatementItem& item : items) {
      for (const StatementRow& row : item.rows) {
        for (size_t i = 0; i < kStatementColumns; ++i) {
          if (i != kChallan) Widen(i, row.cells[i]);
        }
        const std::vector<std::string> pieces = ChallanPieces(row.cells[kChallan]);
        for (const std::string& challan : pieces) {
          Widen(kChallan, pieces.size() > 1 ? challan + "," : challan);
        }
        challans = std::max(challans, Width(row.cells[kChallan]));
        // A line without an amount (a full return) may run on under the
        // amounts: only those with an amount must fit before it.
        (row.cells[kAmount].empty() ? unpriced : explanation) =
            std::max(row.cells[kAmount].empty() ? unpriced : explanation, Width(row.explanation));
      }
      Widen(kAmount, HundredthsText(item.subtotal, grouping));
    }
    // A long explanation widens the last column it covers.
    const size_t covered = ExplanationWidth();
    if (explanation > covered) widths_[kAmount - 1] += explanation - covered;
    const size_t covered_with_amount = ExplanationWidth() + kGap.size() + widths_[kAmount];
    if (unpriced > covered_with_amount) widths_[kAmount - 1] += unpriced - covered_with_amount;
    // The challans of a day stand on one line where the page has room, else
    // they wrap within their column.
    size_t used = kIndent.size() + (kStatementColumns - 1) * kGap.size();
    for (size_t i = 0; i < kStatementColumns; ++i) used += i == kChallan ? 0 : widths_[i];
    const size_t room = kPageWidth > used ? kPageWidth - used : 0;
    if (challans <= room) widths_[kChallan] = std::max(widths_[kChallan], challans);
  }

  void PrintHeadings(std::ostream& out) const {
    std::array<std::string, kStatementColumns> headings;
    for (size_t i = 0; i < kStatementColumns; ++i) {
      headings[i] = std::string(StatementHeadings()[i].text);
    }
    PrintCells(headings, out);
  }

  // A row, its challans wrapped onto further lines under the first.
  void PrintRow(const StatementRow& row, std::ostream& out) const {
    const std::vector<std::string> challans = WrappedChallans(row.cells[kChallan]);
    std::array<std::string, kStatementColumns> cells = row.cells;
    cells[kChallan] = challans.front();
    if (row.kind == LineKind::kRent) {
      PrintCells(cells, out);
    } else {
      std::string text(kIndent);
      for (size_t i = 0; i < kExplanationFirst; ++i) {
        text += Padded(i, cells[i]);
        text += kGap;
      }
      const size_t width = Width(row.explanation);
      text += row.explanation +
              std::string(ExplanationWidth() - std::min(width, ExplanationWidth()), ' ');
      text += kGap;
      PrintTrimmed(text + Padded(kAmount, cells[kAmount]), out);
    }
    for (size_t i = 1; i < challans.size(); ++i) {
      PrintTrimmed(std::string(kIndent) + challans[i], out);
    }
  }

  // A label on the left and an amount under the amounts column.
  void PrintTotal(std::string_view indent, std::string_view label, const std::string& amount,
                  std::ostream& out) const {
    size_t amount_end = kIndent.size();
    for (size_t i = 0; i <= kAmount; ++i) amount_end += widths_[i] + (i ? kGap.size() : 0);
    std::string text = std::string(indent) + std::string(label);
    text += std::string(
        std::max(amount_end, text.size() + amount.size() + 1) - text.size() - amount.size(), ' ');
    PrintTrimmed(text + amount, out);
  }

 private:
  static constexpr std::string_view kIndent = "  ";
  static constexpr std::string_view kGap = "  ";
  static constexpr size_t kAmount = static_cast<size_t>(StatementColumn::kAmount);
  static constexpr size_t kChallan = static_cast<size_t>(StatementColumn::kChallan);
  static constexpr size_t kPageWidth = 80;

  // The challans of a cell ("DC-1188, DC-1189"), each on its own.
  static std::vector<std::string> ChallanPieces(const std::string& cell) {
    std::vector<std::string> pieces;
    for (size_t at = 0; at <= cell.size();) {
      const size_t end = std::min(cell.find(", ", at), cell.size());
      pieces.push_back(cell.substr(at, end - at));
      at = end + 2;
    }
    return pieces;
  }

  // A challan cell as the lines of its column: as many challans on each as
  // fit, each line but the last ending in a comma.
  std::vector<std::string> WrappedChallans(const std::string& cell) const {
    std::vector<std::string> lines = {""};
    const std::vector<std::string> pieces = ChallanPieces(cell);
    for (size_t i = 0; i < pieces.size(); ++i) {
      const std::string& piece = pieces[i];
      std::string& line = lines.back();
      // A line that more challans follow keeps room for its comma.
      const size_t comma = i + 1 < pieces.size() ? 1 : 0;
      if (line.empty()) {
        line = piece;
      } else if (Width(line) + 2 + Width(piece) + comma <= widths_[kChallan]) {
        line += ", " + piece;
      } else {
        line += ",";
        lines.push_back(piece);
      }
    }
    return lines;
  }

  // The columns a text takes on a terminal: each character one, whatever
  // number of bytes UTF-8 gives it ("×").
  static size_t Width(std::string_view text) {
    return std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  }

  void Widen(size_t column, const std::string& text) {
    widths_[column] = std::max(widths_[column], Width(text));
  }

  size_t ExplanationWidth() const {
    size_t width = (kExplanationColumns - 1) * kGap.size();
    for (size_t i = kExplanationFirst; i < kAmount; ++i) width += widths_[i];
    return width;
  }

  std::string Padded(size_t column, const std::string& text) const {
    const std::string padding(widths_[column] - Width(text), ' ');
    return StatementHeadings()[column].numeric ? padding + text : text + padding;
  }

  void PrintCells(const std::array<std::string, kStatementColumns>& cells,
                  std::ostream& out) const {
    std::string text(kIndent);
    for (size_t i = 0; i < kStatementColumns; ++i) {
      if (i) text += kGap;
      text += Padded(i, cells[i]);
    }
    PrintTrimmed(text, out);
  }

  static void PrintTrimmed(std::string text, std::ostream& out) {
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
  }

  std::array<size_t, kStatementColumns> widths_{};
};

// The heading's texts start after their labels and wrap within a terminal of
// 80 columns, each further line starting under the first.
constexpr size_t kFactIndent = 12;
constexpr size_t kFactWidth = 80 - kFactIndent;

void PrintWrapped(std::string_view text, std::ostream& out) {
  size_t width = 0;
  while (!text.empty()) {
    const size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    if (width > 0 && width + 1 + word.size() > kFactWidth) {
      out << "\n" << std::string(kFactIndent, ' ');
      width = 0;
    } else if (width > 0) {
      out << ' ';
      ++width;
    }
    out << word;
    width += word.size();
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  out << "\n";
}

void PrintHeading(const Statement& statement, std::ostream& out) {
  const refhost::CompanyInfo& company = statement.header.company;
  if (!company.name.empty()) out << company.name << "\n";
  if (!company.address.empty()) out << company.address << "\n";
  if (!company.name.empty() || !company.address.empty()) out << "\n";
  out << "Rent statement\n";
  for (const auto& [label, text] : HeadingFacts(statement)) {
    const std::string labelled = label.empty() ? "" : label + ":";
    out << labelled << std::string(kFactIndent - labelled.size(), ' ');
    PrintWrapped(text, out);
  }
}

void PrintTable(const Statement& statement, std::ostream& out) {
  PrintHeading(statement, out);
  if (statement.lines.empty()) {
    out << "\nNo rent lines: nothing to charge for this period.\n";
    return;
  }
  const std::vector<StatementItem> items = StatementItems(statement);
  const refhost::AmountGrouping grouping = statement.header.amount_grouping;
  const std::string grand_total = HundredthsText(GrandTotal(statement), grouping);
  const TableLayout layout(items, grand_total, grouping);
  for (const StatementItem& item : items) {
    out << "\n" << item.title << "\n";
    layout.PrintHeadings(out);
    for (const StatementRow& row : item.rows) layout.PrintRow(row, out);
    layout.PrintTotal("  ", "Subtotal", HundredthsText(item.subtotal, grouping), out);
  }
  out << "\n";
  layout.PrintTotal("", "Grand total", grand_total, out);
}

}  // namespace

StatementFormat ParseStatementFormat(std::string_view name) {
  if (name == "table") return StatementFormat::kTable;
  if (name == "csv") return StatementFormat::kCsv;
  if (name == "json") return StatementFormat::kJson;
  if (name == "html") return StatementFormat::kHtml;
  if (name == "sheet") return StatementFormat::kSheet;
  throw Error("unknown format '" + std::string(name) +
              "': expected table, csv, json, html or sheet");
}

bool IsStreamed(StatementFormat format) {
  return format == StatementFormat::kCsv || format == StatementFormat::kJson;
}

StreamedStatement::StreamedStatement(StatementFormat format, std::ostream& out,
                                     std::map<std::string, std::string> item_names)
    : format_(format), out_(out), item_names_(std::move(item_names)) {
  if (!IsStreamed(format)) throw Error("only CSV and JSON statements are written line by line");
  if (format_ == StatementFormat::kCsv) PrintCsvHeader(out_);
}

void StreamedStatement::Add(const refhost::RentLine& line, std::string_view party) {
  try {
    grand_total_ += PrintedHundredths(LineNumber(line, "Qty2").value_or(0));
  } catch (const Error& error) {
    if (!bad_amount_) bad_amount_ = error.what();
  }
  const auto name = item_names_.find(CellText(line.Get("Code1")));
  const std::string& item_name = name == item_names_.end() ? kNoName : name->second;
  if (format_ == StatementFormat::kCsv) {
    PrintCsvLine(line, item_name, party, out_);
  } else {
    PrintJsonLine(line, item_name, party, lines_ == 0, out_);
  }
  ++lines_;
}

Hundredths StreamedStatement::grand_total() const {
  if (bad_amount_) throw Error(*bad_amount_);
  return grand_total_;
}

void StreamedStatement::Finish() {
  if (format_ == StatementFormat::kJson) out_ << (lines_ == 0 ? "[]\n" : "\n]\n");
}

void PrintStatement(const Statement& statement, StatementFormat format, std::ostream& out) {
  switch (format) {
    case StatementFormat::kTable:
      PrintTable(statement, out);
      break;
    case StatementFormat::kCsv:
    case StatementFormat::kJson: {
      StreamedStatement streamed(format, out, statement.item_names);
      std::vector<refhost::RentLine> lines = statement.lines;
      OrderByItem(lines);
      for (const refhost::RentLine& line : lines) streamed.Add(line, statement.header.party);
      streamed.Finish();
      break;
    }
    case StatementFormat::kHtml:
      PrintHtmlStatement(statement, out);
      break;
    case StatementFormat::kSheet:
      PrintSheet(statement, out);
      break;
  }
}

void OrderByItem(std::vector<refhost::RentLine>& lines) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const refhost::RentLine& a, const refhost::RentLine& b) {
                     return ItemCodeBefore(CellText(a.Get("Code1")), CellText(b.Get("Code1")));
                   });
}

Hundredths GrandTotal(const Statement& statement) {
  Hundredths total = 0;
  for (const refhost::RentLine& line : statement.lines) {
    total += PrintedHundredths(LineNumber(line, "Qty2").value_or(0));
  }
  return total;
}

}  // namespace rnt::cli
