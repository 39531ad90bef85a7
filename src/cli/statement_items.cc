#include "cli/statement_items.h"

#include <algorithm>

#include "core/text_util.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// RecType of the lines that charge for lost and for damaged pieces; every
// other line charges rent for a period.
constexpr double kLostLine = 2;
constexpr double kDamagedLine = 3;

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::string QuantityText(std::optional<double> number) {
  return number ? NumberText(*number) : std::string();
}

std::string MoneyText(std::optional<double> number) {
  return number ? TwoDecimalText(*number) : std::string();
}

LineKind KindOf(const refhost::RentLine& line) {
  const std::optional<double> rec_type = LineNumber(line, "RecType");
  if (rec_type == kLostLine) return LineKind::kLost;
  if (rec_type == kDamagedLine) return LineKind::kDamaged;
  return LineKind::kRent;
}

StatementRow RowOf(const refhost::RentLine& line) {
  StatementRow row{&line, KindOf(line), {}};
  auto set = [&row](StatementColumn column, std::string text) {
    row.cells[static_cast<size_t>(column)] = std::move(text);
  };
  const bool rent = row.kind == LineKind::kRent;
  set(StatementColumn::kChallan, Text(line.Get("ChallanNo")));
  set(StatementColumn::kFrom, Text(line.Get("Dte1")));
  set(StatementColumn::kTo, Text(line.Get("Dte2")));
  // Lost and damaged pieces are charged once, not by the day: their lines
  // hold the pieces in Qty and no period.
  if (rent) set(StatementColumn::kDays, QuantityText(LineNumber(line, "Days")));
  set(StatementColumn::kHeld, QuantityText(LineNumber(line, rent ? "D4" : "Qty")));
  set(StatementColumn::kRate, MoneyText(LineNumber(line, "Price")));
  if (rent) set(StatementColumn::kQuantityDays, QuantityText(LineNumber(line, "Qty")));
  set(StatementColumn::kAmount, MoneyText(LineNumber(line, "Qty2")));
  if (row.kind == LineKind::kLost) set(StatementColumn::kNote, "lost");
  if (row.kind == LineKind::kDamaged) set(StatementColumn::kNote, "damaged");
  return row;
}

std::string TitleOf(const std::string& code, const Statement& statement) {
  if (code.empty()) return "Lines without an item";
  auto name = statement.item_names.find(code);
  if (name == statement.item_names.end() || name->second.empty()) return "Item " + code;
  return name->second + " (" + code + ")";
}

}  // namespace

const std::array<ColumnHeading, kStatementColumns>& StatementHeadings() {
  static constexpr std::array<ColumnHeading, kStatementColumns> kHeadings = {{
      {"Challan", false},
      {"From", false},
      {"To", false},
      {"Days", true},
      {"Held", true},
      {"Rate", true},
      {"Qty-days", true},
      {"Amount", true},
      {"Note", false},
  }};
  return kHeadings;
}

std::vector<StatementItem> StatementItems(const Statement& statement) {
  std::vector<StatementItem> items;
  for (const refhost::RentLine& line : statement.lines) {
    const std::string code = Text(line.Get("Code1"));
    auto item = std::find_if(items.begin(), items.end(),
                             [&code](const StatementItem& each) { return each.code == code; });
    if (item == items.end()) {
      item = items.insert(items.end(), StatementItem{code, TitleOf(code, statement), {}, 0});
    }
    item->rows.push_back(RowOf(line));
    item->subtotal += LineNumber(line, "Qty2").value_or(0);
  }
  return items;
}

std::optional<double> LineNumber(const refhost::RentLine& line, std::string_view column) {
  const Variant value = line.Get(column);
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  if (value.type() == VariantType::kText && TrimBlanks(value.text()).empty()) return std::nullopt;
  try {
    return value.ToDouble();
  } catch (const Error&) {
    throw Error(std::string(column) + " of the rent line with SrNo " + Text(line.Get("SrNo")) +
                " is not a number: " + Describe(value));
  }
}

std::optional<Date> LineDate(const refhost::RentLine& line, std::string_view column) {
  const Variant value = line.Get(column);
  if (value.type() == VariantType::kDate) return value.date();
  if (value.type() != VariantType::kText) return std::nullopt;
  return ParseDateText(value.text());
}

}  // namespace rnt::cli
