#include "cli/statement_html.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/html_text.h"
#include "cli/statement_items.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// Text from the company as a quoted CSS string for the page's running
// heading: every sign that CSS or XML could read otherwise written as a CSS
// escape, so that neither the style sheet nor the file can be broken by it.
std::string CssString(std::string_view text) {
  std::string css = "\"";
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == ' ' || c == ',' || c == '.' || c == '-' || c >= 0x80) {
      css += static_cast<char>(c);
    } else {
      char hex[8];
      auto end = std::to_chars(hex, hex + sizeof hex, static_cast<int>(c), 16).ptr;
      css += "\\" + std::string(hex, end) + " ";
    }
  }
  return css + "\"";
}

// A chart coordinate with one decimal: finer than any printer draws.
std::string Coordinate(double value) {
  char buffer[32];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  return error == std::errc() ? std::string(buffer, end) : "0";
}

// One set of column widths for every item, the page's margins, and what
// print repeats on every page.
constexpr std::string_view kStyle = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 9pt; color: #000;
       max-width: 180mm; margin: 0 auto; }
header.company { border-bottom: 0.5mm solid #1f5fa8; padding-bottom: 2mm; margin-bottom: 4mm; }
header.company h1 { font-size: 15pt; margin: 0; color: #1f5fa8; }
header.company p { margin: 1mm 0 0; color: #333; white-space: pre-line; }
h2 { font-size: 13pt; margin: 0 0 2mm; }
table { border-collapse: collapse; }
table.heading { margin-bottom: 4mm; }
table.heading th { text-align: left; vertical-align: top; font-weight: normal; color: #555; padding: 0.3mm 4mm 0.3mm 0; }
table.heading td { padding: 0.3mm 0; }
p.caption { margin: 0 0 1mm; color: #555; font-size: 8pt; }
svg.chart { width: 100%; height: auto; display: block; margin-bottom: 4mm; }
table.lines { width: 100%; table-layout: fixed; }
table.lines th, table.lines td { padding: 0.7mm 1.5mm; border-bottom: 0.2mm solid #ddd;
                                 text-align: left; white-space: nowrap; overflow: hidden; }
table.lines thead th { border-bottom: 0.4mm solid #000; background: #f2f5f9; }
table.lines .num { text-align: right; font-variant-numeric: tabular-nums; }
table.lines tbody { break-inside: avoid; page-break-inside: avoid; }
table.lines tr.item th { font-size: 10pt; font-weight: bold; padding-top: 3mm; border-bottom: 0.3mm solid #999; }
table.lines td:first-child { white-space: normal; }
table.lines tr.charge td, table.lines tr.return td { color: #333; font-style: italic; }
table.lines tr.charge td.num { font-style: normal; color: #000; }
table.lines tr.subtotal th, table.lines tr.subtotal td { font-weight: bold; border-bottom: none; }
table.lines tr.total th, table.lines tr.total td { font-size: 11pt; font-weight: bold;
                                                   border-top: 0.4mm solid #000; border-bottom: none;
                                                   padding-top: 2mm; }
span.challan { white-space: nowrap; }
col.challan { width: 14%; } col.date { width: 12%; } col.days { width: 7%; }
col.held { width: 9%; } col.rate { width: 10%; } col.qtydays { width: 12%; } col.amount { width: 14%; }
)";

// The class of each column's <col>, in the columns' order.
constexpr std::string_view kColumnClasses[kStatementColumns] = {
    "challan", "date", "date", "days", "held", "rate", "qtydays", "amount"};

// The page box: margins, the party and period at the head of every page but
// the first (which has the full heading), the page numbers at its foot.
std::string PageStyle(const Statement& statement, const std::string& period) {
  const std::string running = CssString(statement.header.party + " - rent statement " + period);
  const std::string company = CssString(statement.header.company.name);
  const std::string font =
      "font-family: \"DejaVu Sans\", Arial, sans-serif; font-size: 7.5pt; color: #444;";
  return "@page { size: A4; margin: 16mm 15mm 16mm 15mm;\n"
         "  @top-left { content: " +
         running + "; " + font + " }\n  @top-right { content: " + company + "; " + font +
         " }\n  @bottom-right { content: \"page \" counter(page) \" of \" counter(pages); " + font +
         " } }\n"
         "@page :first { @top-left { content: none; } @top-right { content: none; } }\n";
}

// The quantity of an item that the party held from one day up to another.
struct HeldStep {
  Date from;
  Date to;  // the first day after it
  double quantity;
};

// The item's rent periods as steps in date order: each line's quantity held
// lasts until the next line's first day, the last line's to the end of its
// own last day. Lines without a first day or a quantity held cannot be placed.
std::vector<HeldStep> HeldSteps(const StatementItem& item) {
  std::vector<HeldStep> steps;
  for (const StatementRow& row : item.rows) {
    if (row.kind == LineKind::kLost || row.kind == LineKind::kDamaged) continue;
    const std::optional<Date> from = LineDate(*row.line, "Dte1");
    const std::optional<double> held = LineNumber(*row.line, "D4");
    if (!from || !held) continue;
    const Date to = std::max(*from, LineDate(*row.line, "Dte2").value_or(*from)).AddDays(1);
    steps.push_back({*from, to, *held});
  }
  std::stable_sort(steps.begin(), steps.end(),
                   [](const HeldStep& a, const HeldStep& b) { return a.from < b.from; });
  for (size_t i = 0; i + 1 < steps.size(); ++i) steps[i].to = steps[i + 1].from;
  return steps;
}

// What the party held of every item over the period, as small multiples: a
// strip per item, one above the other on one date axis, each strip scaled to
// its own highest quantity and labelled with what is held at the period's
// end beside that highest ("30 held · most 200").
class HeldChart {
 public:
  HeldChart(const std::vector<StatementItem>& items, Date first, Date last)
      : first_(first.serial()), end_(last.serial() + 1) {
    for (const StatementItem& item : items) strips_.push_back({item.title, HeldSteps(item)});
  }

  void Print(std::ostream& out) const {
    const int axis = kTop + static_cast<int>(strips_.size()) * kPitch;
    const int height = axis + 22;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" viewBox=\"0 0 " << kWidth
        << " " << height << "\" role=\"img\" aria-label=\"Quantity held of each item\">\n"
        << "<title>Quantity held of each item</title>\n";
    const std::string font = "font-size=\"10\" fill=\"#333\"";
    for (const auto& [day, anchor] : Ticks()) {
      const std::string x = Coordinate(X(day));
      out << "<line x1=\"" << x << "\" y1=\"" << kTop << "\" x2=\"" << x << "\" y2=\"" << axis + 3
          << "\" stroke=\"#ddd\"/>\n<text x=\"" << x << "\" y=\"" << axis + 15
          << "\" text-anchor=\"" << anchor << "\" " << font << ">" << ShortDateText(day)
          << "</text>\n";
    }
    for (size_t i = 0; i < strips_.size(); ++i) PrintStrip(strips_[i], kTop + i * kPitch, out);
    out << "<line x1=\"" << kLeft << "\" y1=\"" << axis << "\" x2=\"" << kRight << "\" y2=\""
        << axis << "\" stroke=\"#000\"/>\n</svg>\n";
  }

 private:
  struct Strip {
    std::string title;
    std::vector<HeldStep> steps;
  };

  static constexpr int kWidth = 720;
  static constexpr int kLeft = 230;   // the item names stand left of it
  static constexpr int kRight = 590;  // what is held at the end, and the most, right of it
  static constexpr int kTop = 6;
  static constexpr int kPitch = 24;
  static constexpr int kStrip = 18;
  static constexpr size_t kTitleLength = 40;

  double X(Date day) const {
    const int32_t serial = std::clamp(day.serial(), first_, end_);
    return kLeft +
           static_cast<double>(serial - first_) * (kRight - kLeft) / std::max(1, end_ - first_);
  }

  // The first and last day, and the first of each month between, where there
  // is room to write it.
  std::vector<std::pair<Date, const char*>> Ticks() const {
    const Date first = Date::FromSerial(first_);
    const Date last = Date::FromSerial(end_ - 1);
    std::vector<std::pair<Date, const char*>> ticks = {{first, "start"}};
    for (Date day = Date::FromYmd(first.year(), first.month(), 1);;) {
      day = day.month() == 12 ? Date::FromYmd(day.year() + 1, 1, 1)
                              : Date::FromYmd(day.year(), day.month() + 1, 1);
      if (X(last) - X(day) < kLabelRoom) break;
      if (X(day) - X(ticks.back().first) >= kLabelRoom) ticks.push_back({day, "middle"});
    }
    ticks.push_back({last, "end"});
    return ticks;
  }
  static constexpr double kLabelRoom = 80;

  void PrintStrip(const Strip& strip, int top, std::ostream& out) const {
    const double base = top + kStrip;
    std::string title = strip.title;
    if (title.size() > kTitleLength) {
      // Cut between characters, never inside one's UTF-8 bytes.
      size_t cut = kTitleLength - 1;
      while (cut > 0 && (title[cut] & 0xC0) == 0x80) --cut;
      title = title.substr(0, cut) + "…";
    }
    out << "<text x=\"" << kLeft - 8 << "\" y=\"" << Coordinate(base - 4)
        << "\" text-anchor=\"end\" font-size=\"10\" fill=\"#000\">" << Escaped(title)
        << "</text>\n<line x1=\"" << kLeft << "\" y1=\"" << Coordinate(base) << "\" x2=\"" << kRight
        << "\" y2=\"" << Coordinate(base) << "\" stroke=\"#bbb\"/>\n";
    double high = 0;
    for (const HeldStep& step : strip.steps) high = std::max(high, step.quantity);
    if (high <= 0) return;  // nothing held in the period: an empty strip
    auto y = [&](double quantity) { return base - std::max(0.0, quantity) * kStrip / high; };
    std::string path = "M" + Coordinate(X(strip.steps.front().from)) + " " + Coordinate(base);
    for (const HeldStep& step : strip.steps) {
      path += " V" + Coordinate(y(step.quantity)) + " H" + Coordinate(X(step.to));
    }
    path += " V" + Coordinate(base) + " Z";
    out << "<path d=\"" << path
        << "\" fill=\"#cfdff2\" stroke=\"#1f5fa8\" stroke-width=\"1\"/>\n<text x=\"" << kRight + 6
        << "\" y=\"" << Coordinate(y(high) + 8) << "\" font-size=\"9\" fill=\"#333\">"
        << Escaped(NumberText(std::max(0.0, strip.steps.back().quantity))) << " held · most "
        << Escaped(NumberText(high)) << "</text>\n";
  }

  int32_t first_;  // date serials of the first day drawn and of the day after the last
  int32_t end_;
  std::vector<Strip> strips_;
};

void PrintCell(std::string_view tag, const std::string& text, bool numeric, std::ostream& out,
               size_t span = 1) {
  out << "<" << tag << (numeric ? " class=\"num\"" : "");
  if (span > 1) out << " colspan=\"" << span << "\"";
  out << ">" << Escaped(text) << "</" << tag << ">";
}

// The challans of a day, each kept whole: a line may break between two
// challans, never inside a challan's number (DC-1188).
void PrintChallanCell(const std::string& challans, std::ostream& out) {
  out << "<td>";
  for (size_t at = 0; at <= challans.size();) {
    const size_t end = std::min(challans.find(", ", at), challans.size());
    if (at > 0) out << ", ";
    out << "<span class=\"challan\">" << Escaped(challans.substr(at, end - at)) << "</span>";
    at = end + 2;
  }
  out << "</td>";
}

void PrintRow(const StatementRow& row, std::ostream& out) {
  const auto& headings = StatementHeadings();
  if (row.kind == LineKind::kRent) {
    out << "<tr>";
    PrintChallanCell(row.cell(StatementColumn::kChallan), out);
    for (size_t i = 1; i < kStatementColumns; ++i) {
      PrintCell("td", row.cells[i], headings[i].numeric, out);
    }
  } else {
    out << (row.kind == LineKind::kReturn ? "<tr class=\"return\">" : "<tr class=\"charge\">");
    PrintChallanCell(row.cell(StatementColumn::kChallan), out);
    for (size_t i = 1; i < kExplanationFirst; ++i) PrintCell("td", row.cells[i], false, out);
    PrintCell("td", row.explanation, false, out, kExplanationColumns);
    PrintCell("td", row.cell(StatementColumn::kAmount), true, out);
  }
  out << "</tr>\n";
}

// A row with a label over the columns before the amount, and the amount.
void PrintTotalRow(std::string_view row_class, const std::string& label, Hundredths amount,
                   refhost::AmountGrouping grouping, std::ostream& out) {
  out << "<tr class=\"" << row_class << "\">";
  PrintCell("th", label, false, out, kStatementColumns - 1);
  PrintCell("td", HundredthsText(amount, grouping), true, out);
  out << "</tr>\n";
}

void PrintLines(const std::vector<StatementItem>& items, Hundredths grand_total,
                refhost::AmountGrouping grouping, std::ostream& out) {
  out << "<table class=\"lines\">\n<colgroup>";
  for (std::string_view column : kColumnClasses) out << "<col class=\"" << column << "\"/>";
  out << "</colgroup>\n<thead><tr>";
  for (const ColumnHeading& heading : StatementHeadings()) {
    PrintCell("th", std::string(heading.text), heading.numeric, out);
  }
  out << "</tr></thead>\n";
  for (const StatementItem& item : items) {
    out << "<tbody>\n<tr class=\"item\">";
    PrintCell("th", item.title, false, out, kStatementColumns);
    out << "</tr>\n";
    for (const StatementRow& row : item.rows) PrintRow(row, out);
    PrintTotalRow("subtotal", "Subtotal", item.subtotal, grouping, out);
    out << "</tbody>\n";
  }
  out << "<tbody>\n";
  PrintTotalRow("total", "Grand total", grand_total, grouping, out);
  out << "</tbody>\n</table>\n";
}

void PrintHeading(const Statement& statement, std::ostream& out) {
  const refhost::CompanyInfo& company = statement.header.company;
  if (!company.name.empty() || !company.address.empty()) {
    out << "<header class=\"company\">\n<h1>" << Escaped(company.name) << "</h1>\n";
    if (!company.address.empty()) out << "<p>" << Escaped(company.address) << "</p>\n";
    out << "</header>\n";
  }
  out << "<h2>Rent statement</h2>\n<table class=\"heading\">\n";
  for (const auto& [label, text] : HeadingFacts(statement)) {
    out << "<tr><th>" << Escaped(label) << "</th><td>" << Escaped(text) << "</td></tr>\n";
  }
  out << "</table>\n";
}

}  // namespace

void PrintHtmlStatement(const Statement& statement, std::ostream& out) {
  // Everything that can fail is worked out before the first byte is written.
  const std::vector<StatementItem> items = StatementItems(statement);
  const Hundredths grand_total = GrandTotal(statement);
  const Date first = FirstDayBilled(statement);
  const std::string period =
      ShortDateText(first) + " to " + ShortDateText(statement.header.closing_day);
  const std::string title = "Rent statement: " + statement.header.party + ", " + period;
  out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      << "<meta charset=\"utf-8\"/>\n<title>" << Escaped(title) << "</title>\n"
      << "<style>" << kStyle << PageStyle(statement, period) << "</style>\n</head>\n<body>\n";
  PrintHeading(statement, out);
  if (items.empty()) {
    out << "<p>No rent lines: nothing to charge for this period.</p>\n";
  } else {
    out << "<p class=\"caption\">Quantity held of each item over the period (at the right, what "
           "is held at its end and the most held)</p>\n";
    HeldChart(items, first, statement.header.closing_day).Print(out);
    PrintLines(items, grand_total, statement.header.amount_grouping, out);
  }
  out << "</body>\n</html>\n";
}

}  // namespace rnt::cli
