#include "cli/statement_html.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/statement_items.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// Text from the company or the user, made safe to stand in an element or an
// attribute.
std::string Escaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A chart coordinate with one decimal: finer than any printer draws.
std::string Coordinate(double value) {
  char buffer[32];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  return error == std::errc() ? std::string(buffer, end) : "0";
}

constexpr std::string_view kStyle = R"(
@page { size: A4; margin: 15mm; }
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #000;
       max-width: 190mm; margin: 0 auto; }
h1 { font-size: 16pt; margin: 0 0 3mm; }
h2 { font-size: 12pt; margin: 0 0 1mm; }
table { border-collapse: collapse; }
table.heading th { text-align: left; font-weight: normal; color: #444; padding-right: 4mm; }
table.lines { width: 100%; margin-bottom: 2mm; }
table.lines th, table.lines td { padding: 0.8mm 2mm; border-bottom: 0.3mm solid #ccc;
                                 text-align: left; white-space: nowrap; }
table.lines thead th { border-bottom: 0.4mm solid #000; }
table.lines .num { text-align: right; font-variant-numeric: tabular-nums; }
table.lines tr.lost td, table.lines tr.damaged td { font-style: italic; }
table.lines tfoot th, table.lines tfoot td { font-weight: bold; border-bottom: none; }
section.item { margin-top: 6mm; break-inside: avoid; page-break-inside: avoid; }
p.total { font-size: 12pt; font-weight: bold; text-align: right; margin-top: 6mm; }
)";

// The quantity of an item that the party held from one day to another.
struct HeldStep {
  Date from;
  Date to;
  double quantity;
};

// The item's rent lines as steps in date order: each line's quantity held
// lasts until the next line's first day, the last line's until its own last
// day. Lines without a first day or a quantity held cannot be placed.
std::vector<HeldStep> HeldSteps(const StatementItem& item) {
  std::vector<HeldStep> steps;
  for (const StatementRow& row : item.rows) {
    if (row.kind != LineKind::kRent) continue;
    const std::optional<Date> from = LineDate(*row.line, "Dte1");
    const std::optional<double> held = LineNumber(*row.line, "D4");
    if (!from || !held) continue;
    const Date to = std::max(*from, LineDate(*row.line, "Dte2").value_or(*from));
    steps.push_back({*from, to, *held});
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const HeldStep& a, const HeldStep& b) { return a.from < b.from; });
  for (size_t i = 0; i + 1 < steps.size(); ++i) steps[i].to = steps[i + 1].from;
  return steps;
}

// A small chart of the quantity held, as a step line over the days from the
// item's first rent line to its last, with dates along the bottom and
// quantities up the side.
class HeldChart {
 public:
  HeldChart(const StatementItem& item, const std::string& party)
      : steps_(HeldSteps(item)), title_("Quantity of " + item.title + " held by " + party) {
    if (steps_.empty()) return;
    first_ = steps_.front().from.serial();
    last_ = steps_.front().to.serial();
    for (const HeldStep& step : steps_) {
      last_ = std::max(last_, step.to.serial());
      low_ = std::min(low_, step.quantity);
      high_ = std::max(high_, step.quantity);
    }
    // A chart of one day or of nothing held still needs a width and a height.
    days_ = std::max(1, last_ - first_);
    if (high_ == low_) high_ = low_ + 1;
  }

  void Print(std::ostream& out) const {
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"" << kWidth
        << "\" height=\"" << kHeight << "\" viewBox=\"0 0 " << kWidth << " " << kHeight
        << "\" role=\"img\" aria-label=\"" << Escaped(title_) << "\">\n"
        << "<title>" << Escaped(title_) << "</title>\n";
    if (steps_.empty()) {
      out << "<text x=\"" << kWidth / 2 << "\" y=\"" << kHeight / 2
          << "\" text-anchor=\"middle\" font-size=\"11\" fill=\"#666\">No rent period to "
             "draw</text>\n</svg>\n";
      return;
    }
    const std::string font = "font-size=\"10\" fill=\"#333\"";
    // Quantities up the side, with a faint line across at each.
    std::vector<double> marks = {low_, high_};
    if (low_ < 0) marks.push_back(0);
    for (double mark : marks) {
      const std::string y = Coordinate(Y(mark));
      out << "<line x1=\"" << kLeft << "\" y1=\"" << y << "\" x2=\"" << kRight << "\" y2=\"" << y
          << "\" stroke=\"#ddd\"/>\n"
          << "<text x=\"" << kLeft - 6 << "\" y=\"" << Coordinate(Y(mark) + 3.5)
          << "\" text-anchor=\"end\" " << font << ">" << Escaped(NumberText(mark)) << "</text>\n";
    }
    out << "<line x1=\"" << kLeft << "\" y1=\"" << kTop << "\" x2=\"" << kLeft << "\" y2=\""
        << kBottom << "\" stroke=\"#000\"/>\n"
        << "<line x1=\"" << kLeft << "\" y1=\"" << kBottom << "\" x2=\"" << kRight << "\" y2=\""
        << kBottom << "\" stroke=\"#000\"/>\n";
    // Dates along the bottom: the first and the last day.
    out << "<text x=\"" << kLeft << "\" y=\"" << kBottom + 16 << "\" text-anchor=\"start\" " << font
        << ">" << Escaped(ShortDateText(Date::FromSerial(first_))) << "</text>\n"
        << "<text x=\"" << kRight << "\" y=\"" << kBottom + 16 << "\" text-anchor=\"end\" " << font
        << ">" << Escaped(ShortDateText(Date::FromSerial(last_))) << "</text>\n";
    std::string path =
        "M" + Coordinate(X(steps_.front().from)) + " " + Coordinate(Y(steps_.front().quantity));
    for (const HeldStep& step : steps_) {
      if (&step != &steps_.front()) path += " V" + Coordinate(Y(step.quantity));
      path += " H" + Coordinate(X(step.to));
    }
    // Held for a single day: the line runs across the whole chart.
    if (first_ == last_) path += " H" + std::to_string(kRight);
    out << "<path d=\"" << path << "\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1.5\"/>\n"
        << "</svg>\n";
  }

 private:
  static constexpr int kWidth = 560;
  static constexpr int kHeight = 170;
  static constexpr int kLeft = 56;
  static constexpr int kRight = kWidth - 16;
  static constexpr int kTop = 12;
  static constexpr int kBottom = kHeight - 30;

  double X(Date day) const {
    return kLeft + static_cast<double>(day.serial() - first_) * (kRight - kLeft) / days_;
  }
  double Y(double quantity) const {
    return kBottom - (quantity - low_) * (kBottom - kTop) / (high_ - low_);
  }

  std::vector<HeldStep> steps_;
  std::string title_;
  int32_t first_ = 0;  // date serials of the first and the last day drawn
  int32_t last_ = 0;
  int32_t days_ = 1;
  double low_ = 0;
  double high_ = 0;
};

void PrintCell(std::string_view tag, const std::string& text, bool numeric, std::ostream& out) {
  out << "<" << tag << (numeric ? " class=\"num\"" : "") << ">" << Escaped(text) << "</" << tag
      << ">";
}

void PrintItem(const StatementItem& item, const Statement& statement, std::ostream& out) {
  const auto& headings = StatementHeadings();
  out << "<section class=\"item\">\n<h2>" << Escaped(item.title) << "</h2>\n"
      << "<table class=\"lines\">\n<thead><tr>";
  for (const ColumnHeading& heading : headings) {
    PrintCell("th", std::string(heading.text), heading.numeric, out);
  }
  out << "</tr></thead>\n<tbody>\n";
  for (const StatementRow& row : item.rows) {
    out << (row.kind == LineKind::kLost      ? "<tr class=\"lost\">"
            : row.kind == LineKind::kDamaged ? "<tr class=\"damaged\">"
                                             : "<tr>");
    for (size_t i = 0; i < kStatementColumns; ++i) {
      PrintCell("td", row.cells[i], headings[i].numeric, out);
    }
    out << "</tr>\n";
  }
  const size_t amount = static_cast<size_t>(StatementColumn::kAmount);
  out << "</tbody>\n<tfoot><tr><th colspan=\"" << amount << "\">Subtotal</th>";
  PrintCell("td", TwoDecimalText(item.subtotal), true, out);
  out << "<td colspan=\"" << kStatementColumns - amount - 1 << "\"></td></tr></tfoot>\n</table>\n";
  HeldChart(item, statement.party).Print(out);
  out << "</section>\n";
}

}  // namespace

void PrintHtmlStatement(const Statement& statement, std::ostream& out) {
  // Everything that can fail is worked out before the first byte is written.
  const std::vector<StatementItem> items = StatementItems(statement);
  const std::string grand_total = TwoDecimalText(GrandTotal(statement));
  const std::string title = "Rent statement: " + statement.party + ", " + statement.rent_date;
  out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n<title>" << Escaped(title) << "</title>\n"
      << "<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>Rent statement</h1>\n"
      << "<table class=\"heading\">\n"
      << "<tr><th>Party</th><td>" << Escaped(statement.party) << "</td></tr>\n"
      << "<tr><th>Rent date</th><td>" << Escaped(statement.rent_date) << "</td></tr>\n"
      << "<tr><th>User</th><td>" << Escaped(statement.user) << "</td></tr>\n</table>\n";
  if (items.empty()) {
    out << "<p>No rent lines for " << Escaped(statement.party) << " on "
        << Escaped(statement.rent_date) << ".</p>\n";
  } else {
    for (const StatementItem& item : items) PrintItem(item, statement, out);
    out << "<p class=\"total\">Grand total " << Escaped(grand_total) << "</p>\n";
  }
  out << "</body>\n</html>\n";
}

}  // namespace rnt::cli
