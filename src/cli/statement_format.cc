#include "cli/statement_format.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "db/work_table.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// A cell as the user reads it: numbers in their shortest text, null empty.
std::string CellText(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
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

void PrintCsv(const std::vector<refhost::RentLine>& lines, std::ostream& out) {
  const auto& columns = db::WorkTableColumns();
  for (size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << columns[i];
  out << "\n";
  for (const refhost::RentLine& line : lines) {
    for (size_t i = 0; i < columns.size(); ++i) {
      out << (i ? "," : "") << CsvField(CellText(line.Get(columns[i])));
    }
    out << "\n";
  }
}

void PrintJson(const std::vector<refhost::RentLine>& lines, std::ostream& out) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const refhost::RentLine& line : lines) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (std::string_view column : db::WorkTableColumns()) {
      object[std::string(column)] = JsonValue(line.Get(column));
    }
    array.push_back(std::move(object));
  }
  out << array.dump(2) << "\n";
}

void PrintTable(const std::vector<refhost::RentLine>& lines, std::ostream& out) {
  if (lines.empty()) {
    out << "No rent lines.\n";
    return;
  }
  static constexpr std::string_view kShown[] = {"Code1", "SrNo", "RecType", "RNo",   "ChallanNo",
                                                "Dte1",  "Dte2", "Days",    "D1",    "D2",
                                                "D3",    "D4",   "Qty",     "Price", "Qty2"};
  std::vector<std::vector<std::string>> cells;
  std::vector<size_t> widths;
  for (std::string_view column : kShown) widths.push_back(column.size());
  for (const refhost::RentLine& line : lines) {
    auto& row = cells.emplace_back();
    for (size_t i = 0; i < std::size(kShown); ++i) {
      row.push_back(CellText(line.Get(kShown[i])));
      widths[i] = std::max(widths[i], row.back().size());
    }
  }
  auto print_row = [&](auto cell_of) {
    for (size_t i = 0; i < std::size(kShown); ++i) {
      std::string text(cell_of(i));
      out << (i ? "  " : "") << std::string(widths[i] - text.size(), ' ') << text;
    }
    out << "\n";
  };
  print_row([&](size_t i) { return kShown[i]; });
  for (const auto& row : cells) print_row([&](size_t i) { return row[i]; });
}

}  // namespace

StatementFormat ParseStatementFormat(std::string_view name) {
  if (name == "table") return StatementFormat::kTable;
  if (name == "csv") return StatementFormat::kCsv;
  if (name == "json") return StatementFormat::kJson;
  throw Error("unknown format '" + std::string(name) + "': expected table, csv or json");
}

void PrintStatement(const std::vector<refhost::RentLine>& lines, StatementFormat format,
                    std::ostream& out) {
  switch (format) {
    case StatementFormat::kTable:
      PrintTable(lines, out);
      break;
    case StatementFormat::kCsv:
      PrintCsv(lines, out);
      break;
    case StatementFormat::kJson:
      PrintJson(lines, out);
      break;
  }
}

}  // namespace rnt::cli
