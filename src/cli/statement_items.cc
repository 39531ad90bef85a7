#include "cli/statement_items.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/text_util.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// A text as one printed line: a line break, a tab or another control
// character that a host let into a challan number would break the table's
// columns, so it shows as a blank.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : OneLine(value.ToText());
}

std::string QuantityText(std::optional<double> number) {
  return number ? NumberText(*number) : std::string();
}

std::string MoneyText(std::optional<double> number, refhost::AmountGrouping grouping) {
  return number ? AmountText(*number, grouping) : std::string();
}

std::string PercentText(double percent) { return NumberText(percent) + " %"; }

bool SameQuantity(double a, double b) { return std::fabs(a - b) < 0.005; }

// A line of no days that leaves the party nothing: the day on which it
// returned all it held, which charges no period.
bool IsFullReturn(const refhost::RentLine& line) {
  return LineNumber(line, "Days").value_or(0) == 0 && LineNumber(line, "D4").value_or(0) == 0 &&
         LineNumber(line, "D3").value_or(0) > 0;
}

LineKind KindOf(const refhost::RentLine& line) {
  const std::optional<double> rec_type = LineNumber(line, "RecType");
  if (rec_type == kLostLine) return LineKind::kLost;
  if (rec_type == kDamagedLine) return LineKind::kDamaged;
  return IsFullReturn(line) ? LineKind::kReturn : LineKind::kRent;
}

// The marked pieces of one item and one day that one lost or damage line
// charges, as the line's writer summed them.
struct MarkedDay {
  std::string item;
  bool lost;
  Date date;
  std::vector<const refhost::MarkedPiece*> pieces;
  double quantity = 0;
  bool charged = false;  // given to a line already
};

std::vector<MarkedDay> MarkedDays(const std::vector<refhost::MarkedPiece>& pieces) {
  std::vector<MarkedDay> days;
  for (const refhost::MarkedPiece& piece : pieces) {
    const std::string item = std::to_string(piece.item);
    auto day = std::find_if(days.begin(), days.end(), [&](const MarkedDay& each) {
      return each.item == item && each.lost == piece.lost && each.date == piece.date;
    });
    if (day == days.end())
      day = days.insert(days.end(), MarkedDay{item, piece.lost, piece.date, {}, 0, false});
    day->pieces.push_back(&piece);
    day->quantity += piece.quantity;
  }
  return days;
}

// "1 damaged at 25 % of 2,200.00"; pieces damaged by different percentages
// are listed, "3 damaged: 2 at 10 %, 1 at 30 % of 200.00".
std::string DamageExplanation(double quantity, const MarkedDay& day,
                              refhost::AmountGrouping grouping) {
  std::string text = NumberText(quantity) + " damaged";
  const double percent = day.pieces.front()->percent;
  const bool one_percent =
      std::all_of(day.pieces.begin(), day.pieces.end(),
                  [percent](auto* piece) { return piece->percent == percent; });
  if (one_percent) {
    text += " at " + PercentText(percent);
  } else {
    for (const refhost::MarkedPiece* piece : day.pieces) {
      text += (piece == day.pieces.front() ? ": " : ", ") + NumberText(piece->quantity) + " at " +
              PercentText(piece->percent);
    }
  }
  if (day.pieces.front()->piece_value) {
    text += " of " + RateText(*day.pieces.front()->piece_value, grouping);
  }
  return text;
}

// A lost or damage line: its challan and day from the marked pieces it
// charges, and how its amount came about.
void ExplainCharge(StatementRow& row, const std::string& item, std::vector<MarkedDay>& marked,
                   refhost::AmountGrouping grouping) {
  const refhost::RentLine& line = *row.line;
  const double quantity = LineNumber(line, "Qty").value_or(0);
  const bool lost = row.kind == LineKind::kLost;
  auto day = std::find_if(marked.begin(), marked.end(), [&](const MarkedDay& each) {
    return !each.charged && each.item == item && each.lost == lost &&
           SameQuantity(each.quantity, quantity);
  });
  const std::optional<double> price = LineNumber(line, "Price");
  const std::string by_rate = NumberText(quantity) + (lost ? " lost × " : " damaged × ") +
                              (price ? RateText(*price, grouping) : std::string("no rate"));
  if (day == marked.end()) {
    row.explanation = by_rate;
    return;
  }
  day->charged = true;
  std::string challans;
  for (const refhost::MarkedPiece* piece : day->pieces) {
    if (piece->challan.empty() || challans.find(piece->challan) != std::string::npos) continue;
    challans += (challans.empty() ? "" : ", ") + OneLine(piece->challan);
  }
  row.cells[static_cast<size_t>(StatementColumn::kChallan)] = challans;
  row.cells[static_cast<size_t>(StatementColumn::kFrom)] = ShortDateText(day->date);
  row.explanation = lost ? by_rate : DamageExplanation(quantity, *day, grouping);
}

// "all 150 returned", and of those the pieces the party reported lost or
// returned damaged on the day: "all 150 returned, 2 of them lost".
std::string FullReturnExplanation(const refhost::RentLine& line, const std::string& item,
                                  const std::vector<MarkedDay>& marked) {
  std::string text = "all " + QuantityText(LineNumber(line, "D3")) + " returned";
  const std::optional<Date> day = LineDate(line, "Dte1");
  if (!day) return text;
  for (const bool lost : {true, false}) {
    double quantity = 0;
    for (const MarkedDay& each : marked) {
      if (each.item == item && each.lost == lost && each.date == *day) quantity += each.quantity;
    }
    if (quantity > 0)
      text += ", " + NumberText(quantity) + " of them " + (lost ? "lost" : "damaged");
  }
  return text;
}

// The challan that began a rent period: the movement's own voucher (RNo).
// On a continued item ChallanNo names the challan that the material came on,
// which is what an opening line (SrNo 0, or -1000 in the previous year)
// charges for, and what a line without a movement of its own has.
// Where the item had several challans on the movement's day, the line names
// the first and the statement every one: "DC-1188, DC-1189".
std::string ChallanOf(const refhost::RentLine& line, const refhost::DayChallans& day_challans) {
  const std::optional<double> order = LineNumber(line, "SrNo");
  std::string movement(TrimBlanks(Text(line.Get("RNo"))));
  if (movement.empty() || order == 0 || order == -1000) return Text(line.Get("ChallanNo"));
  const std::optional<double> item = LineNumber(line, "Code1");
  const std::optional<Date> day = LineDate(line, "Dte1");
  if (!item || !day) return movement;
  const auto found = day_challans.find({static_cast<std::int32_t>(*item), *day});
  if (found == day_challans.end()) return movement;
  const std::vector<std::string>& challans = found->second;
  if (std::find(challans.begin(), challans.end(), movement) == challans.end()) return movement;
  std::string all = movement;
  for (const std::string& challan : challans) {
    if (challan != movement) all += ", " + OneLine(challan);
  }
  return all;
}

// The pieces a rent line charges each day: what was held after its
// movement, except on a day of a delivery and a return that has a line of
// its own, and on a line that charges what came back.
std::optional<double> PiecesCharged(const refhost::RentLine& line) {
  const std::optional<double> held = LineNumber(line, "D4");
  const std::optional<double> days = LineNumber(line, "Days");
  const std::optional<double> quantity_days = LineNumber(line, "Qty");
  if (!held || !days || !quantity_days || *days <= 0 || *quantity_days == *held * *days) {
    return held;
  }
  // Whole pieces only: a line whose quantity-days were set otherwise shows
  // what was held.
  const double pieces = *quantity_days / *days;
  return pieces == std::floor(pieces) ? pieces : *held;
}

StatementRow RowOf(const refhost::RentLine& line, const std::string& item,
                   std::vector<MarkedDay>& marked, const Statement& statement) {
  const refhost::AmountGrouping grouping = statement.header.amount_grouping;
  StatementRow row{&line, KindOf(line), {}, {}};
  auto set = [&row](StatementColumn column, std::string text) {
    row.cells[static_cast<size_t>(column)] = std::move(text);
  };
  switch (row.kind) {
    case LineKind::kRent:
      set(StatementColumn::kChallan, ChallanOf(line, statement.day_challans));
      set(StatementColumn::kFrom, Text(line.Get("Dte1")));
      set(StatementColumn::kTo, Text(line.Get("Dte2")));
      set(StatementColumn::kDays, QuantityText(LineNumber(line, "Days")));
      set(StatementColumn::kHeld, QuantityText(PiecesCharged(line)));
      if (auto rate = LineNumber(line, "Price")) {
        set(StatementColumn::kRate, RateText(*rate, grouping));
      }
      set(StatementColumn::kQuantityDays, QuantityText(LineNumber(line, "Qty")));
      set(StatementColumn::kAmount, MoneyText(LineNumber(line, "Qty2"), grouping));
      break;
    case LineKind::kReturn: {
      set(StatementColumn::kChallan, ChallanOf(line, statement.day_challans));
      set(StatementColumn::kFrom, Text(line.Get("Dte1")));
      row.explanation = FullReturnExplanation(line, item, marked);
      if (LineNumber(line, "Qty2").value_or(0) != 0) {
        set(StatementColumn::kAmount, MoneyText(LineNumber(line, "Qty2"), grouping));
      }
      break;
    }
    case LineKind::kLost:
    case LineKind::kDamaged:
      set(StatementColumn::kAmount, MoneyText(LineNumber(line, "Qty2"), grouping));
      ExplainCharge(row, item, marked, grouping);
      break;
  }
  return row;
}

// The day rule in the words of the party reading the bill.
std::string DaysCharged(refhost::DayRule rule) {
  switch (rule) {
    case refhost::DayRule::kEndOfDay:
      return "each day is charged for the pieces held at its end, and pieces out and back on "
             "the same day for that day";
    case refhost::DayRule::kAsBefore:
      return "counted as on earlier bills";
    case refhost::DayRule::kBothDays:
      break;
  }
  return "the day of delivery and the day of return are both charged";
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
  }};
  return kHeadings;
}

std::vector<StatementItem> StatementItems(const Statement& statement) {
  std::vector<MarkedDay> marked = MarkedDays(statement.marked_pieces);
  std::vector<StatementItem> items;
  for (const refhost::RentLine& line : statement.lines) {
    const std::string code = Text(line.Get("Code1"));
    auto item = std::find_if(items.begin(), items.end(),
                             [&code](const StatementItem& each) { return each.code == code; });
    if (item == items.end()) {
      item = items.insert(items.end(), StatementItem{code, TitleOf(code, statement), {}, 0});
    }
    item->rows.push_back(RowOf(line, code, marked, statement));
    item->subtotal += PrintedHundredths(LineNumber(line, "Qty2").value_or(0));
  }
  std::stable_sort(items.begin(), items.end(), [](const StatementItem& a, const StatementItem& b) {
    return ItemCodeBefore(a.code, b.code);
  });
  return items;
}

bool ItemCodeBefore(std::string_view a, std::string_view b) {
  // Numbers by their value, then any other code by its text, lines without
  // an item last.
  auto rank = [](std::string_view code) -> std::pair<int, double> {
    if (code.empty()) return {2, 0};
    const std::string text(TrimBlanks(code));
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (!text.empty() && end == text.c_str() + text.size()) return {0, number};
    return {1, 0};
  };
  const auto ra = rank(a), rb = rank(b);
  if (ra != rb) return ra < rb;
  return ra.first == 1 && a < b;
}

Date FirstDayBilled(const Statement& statement) {
  const StatementHeader& header = statement.header;
  if (header.continued_from) return header.continued_from->billed_up_to.AddDays(1);
  // A month asked for is the period, from its first day, though the party's
  // first challan came later; a first bill that reaches further back says so.
  std::optional<Date> first = header.month_start;
  for (const refhost::RentLine& line : statement.lines) {
    if (KindOf(line) != LineKind::kRent) continue;
    if (std::optional<Date> from = LineDate(line, "Dte1"))
      first = std::min(first.value_or(*from), *from);
  }
  return first.value_or(header.closing_day);
}

std::vector<std::pair<std::string, std::string>> HeadingFacts(const Statement& statement) {
  const StatementHeader& header = statement.header;
  std::vector<std::pair<std::string, std::string>> facts = {
      {"Party", header.party},
      {"Period",
       ShortDateText(FirstDayBilled(statement)) + " to " + ShortDateText(header.closing_day)}};
  auto voucher = [](const refhost::PostedRentVoucher& posted) {
    return "rent voucher " + std::to_string(posted.code) + " of " +
           ShortDateText(posted.billed_up_to);
  };
  if (header.continued_from)
    facts.emplace_back("", "continued from " + voucher(*header.continued_from));
  facts.emplace_back("Days", DaysCharged(header.day_rule));
  if (header.posted_as) facts.emplace_back("Statement", voucher(*header.posted_as));
  return facts;
}

std::string RateText(double rate, refhost::AmountGrouping grouping) {
  std::string text = fmt::format("{:.4f}", std::fabs(rate));
  while (text.back() == '0' && text.size() - text.find('.') > 3) text.pop_back();
  const size_t point = text.find('.');
  text = refhost::GroupDigits(text.substr(0, point), grouping) + text.substr(point);
  return (rate < 0 && text.find_first_not_of("0.,") != std::string::npos ? "-" : "") + text;
}

std::optional<double> LineNumber(const refhost::RentLine& line, std::string_view column) {
  const Variant value = line.Get(column);
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  if (value.type() == VariantType::kText && TrimBlanks(value.text()).empty()) return std::nullopt;
  try {
    return value.ToDouble();
  } catch (const Error&) {
    const std::string number = Text(line.Get("SrNo"));
    throw Error(std::string(column) + " of the rent line " +
                (number.empty() ? std::string("without SrNo") : "with SrNo " + number) +
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
