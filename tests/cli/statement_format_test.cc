// The printed rent statement: totals that add up, lost and damaged pieces
// marked, CSV that reads back, and an HTML file that is well-formed and
// escapes the company's texts.
#include "cli/statement_format.h"
#include "cli/statement_items.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <sstream>

#include "db/work_table.h"
#include "refhost/master_names.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "support/company_file.h"

namespace rnt::cli {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A line of the work table's columns: the values for the columns named, in
// their order, and null in the others.
refhost::RentLine Line(const std::string& names, const std::vector<Variant>& values) {
  refhost::RentLine line;
  std::istringstream named(names);
  std::vector<std::string> given{std::istream_iterator<std::string>(named), {}};
  for (std::string_view column : db::WorkTableColumns()) {
    const auto at = std::ranges::find(given, column);
    line.columns.emplace_back(column,
                              at == given.end() ? Variant::Null() : values.at(at - given.begin()));
  }
  return line;
}

refhost::RentLine RentPeriod(double item, const char* challan, const char* from, const char* to,
                             double held, double amount) {
  return Line("Code1 RecType ChallanNo Dte1 Dte2 Days D4 Price Qty Qty2",
              {item, 1.0, challan, from, to, 10.0, held, 2.5, held * 10, amount});
}

Statement Empty() {
  return {{{}, "Sharma Builders", Date::FromYmd(2021, 5, 31), {}, {}}, {}, {}, {}};
}

// Two items, the second one's lines between the first one's, with a lost and a
// damage line and a line that has no amount.
Statement TwoItems() {
  Statement statement = Empty();
  statement.item_names = {{"101", "Shuttering plate 600x300"}, {"205", "Prop 3m"}};
  statement.lines = {
      RentPeriod(101, "C-1", "01-04-2021", "14-04-2021", 100, 3500),
      RentPeriod(205, "C-2", "03-04-2021", "30-04-2021", 40, 0.335),
      RentPeriod(101, "R-7", "15-04-2021", "31-05-2021", 60, 1234.56),
      Line("Code1 RecType RNo Qty Price Qty2", {101.0, 2.0, "Lost", 2.0, 950.0, 1900.0}),
      Line("Code1 RecType RNo Qty Price Qty2", {205.0, 3.0, "Damage", 3.0, 40.0, 120.0}),
      Line("Code1 RecType Dte1 D4", {205.0, 1.0, "01-05-2021", -1.0}),
  };
  return statement;
}

std::string Printed(const Statement& statement, StatementFormat format) {
  std::ostringstream out;
  PrintStatement(statement, format, out);
  return out.str();
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const std::string* LineHolding(const std::vector<std::string>& lines, std::string_view text) {
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) return &line;
  }
  return nullptr;
}

TEST(StatementFormat, GrandTotalIsTheSumOfTheAmountsAndTheTableShowsIt) {
  const Statement statement = TwoItems();
  // The amounts of the lines that have one, the lost and damaged ones too.
  EXPECT_DOUBLE_EQ(GrandTotal(statement), 3500 + 0.335 + 1234.56 + 1900 + 120);

  const std::vector<std::string> table = LinesOf(Printed(statement, StatementFormat::kTable));
  const std::string* total = LineHolding(table, "Grand total");
  ASSERT_NE(total, nullptr);
  EXPECT_THAT(*total, EndsWith(" 6,754.90"));
  // The subtotals stand under the amounts.
  const std::string* plate = LineHolding(table, "3,500.00");
  const std::string* subtotal = LineHolding(table, "6,634.56");
  ASSERT_TRUE(plate && subtotal);
  EXPECT_EQ(plate->find("3,500.00") + 8, subtotal->size());
}

// Lost and damaged pieces stand under their items with the challan and day
// of the marked voucher lines they charge and how their amount came about;
// without such a line they still say it.
TEST(StatementFormat, LostAndDamagedLinesSayWhereAndHowUnderTheirItems) {
  Statement statement = TwoItems();
  const std::vector<std::string> bare = LinesOf(Printed(statement, StatementFormat::kTable));
  EXPECT_NE(LineHolding(bare, "  2 lost × 950.00 "), nullptr);
  EXPECT_NE(LineHolding(bare, "  3 damaged × 40.00 "), nullptr);

  const Date may = Date::FromYmd(2021, 5, 3);
  statement.marked_pieces = {{101, true, may, "RC-9", 2, 0, 950},
                             {205, false, may, "RC-9", 2, 10, 200},
                             {205, false, may, "RC-10", 1, 30, 200}};
  const std::vector<std::string> table = LinesOf(Printed(statement, StatementFormat::kTable));
  const std::string* lost = LineHolding(table, "2 lost × 950.00");
  const std::string* damaged = LineHolding(table, "3 damaged: 2 at 10 %, 1 at 30 % of 200.00");
  ASSERT_TRUE(lost && damaged);
  EXPECT_THAT(
      *lost, AllOf(StartsWith("  RC-9 "), HasSubstr(" 03-05-2021  2 lost"), EndsWith(" 1,900.00")));
  EXPECT_THAT(*damaged, HasSubstr("RC-9, RC-10  03-05-2021"));
  // Each item's lines follow its name, the lost plates among the plates.
  EXPECT_TRUE(std::ranges::is_sorted(
      std::vector{LineHolding(table, "Shuttering plate 600x300 (101)"), LineHolding(table, "R-7"),
                  lost, LineHolding(table, "Prop 3m (205)"), damaged}))
      << Printed(statement, StatementFormat::kTable);

  EXPECT_THAT(Printed(Empty(), StatementFormat::kTable),
              EndsWith("Party:      Sharma Builders\nPeriod:     31-05-2021 to 31-05-2021\n\n"
                       "No rent lines: nothing to charge for this period.\n"));
}

// The heading names the business, the party, the days billed and the rent
// vouchers the statement stands between; never the user who ran it.
TEST(StatementFormat, TheHeadingSaysWhoBillsWhomForWhichDays) {
  Statement statement = TwoItems();
  statement.header.company = {"Shree Ganesh Shuttering", "Shed 12\nJaipur"};
  statement.header.continued_from = refhost::PostedRentVoucher{7001, Date::FromYmd(2021, 4, 15)};
  statement.header.posted_as = refhost::PostedRentVoucher{7002, Date::FromYmd(2021, 5, 31)};
  EXPECT_THAT(Printed(statement, StatementFormat::kTable),
              StartsWith("Shree Ganesh Shuttering\nShed 12\nJaipur\n\nRent statement\n"
                         "Party:      Sharma Builders\n"
                         "Period:     16-04-2021 to 31-05-2021\n"
                         "            continued from rent voucher 7001 of 15-04-2021\n"
                         "Statement:  rent voucher 7002 of 31-05-2021\n\n"));
  const std::string html = Printed(statement, StatementFormat::kHtml);
  EXPECT_THAT(html, HasSubstr("<td>continued from rent voucher 7001 of 15-04-2021</td>"));
  EXPECT_THAT(html, HasSubstr("<td>rent voucher 7002 of 31-05-2021</td>"));
  // Without a voucher to continue from, the period starts on the first day billed.
  statement.header.continued_from.reset();
  EXPECT_THAT(Printed(statement, StatementFormat::kTable),
              HasSubstr("Period:     01-04-2021 to 31-05-2021\nStatement:"));
}

TEST(StatementFormat, RatesShowAsStoredAndAmountsToTwoDecimals) {
  const std::pair<double, const char*> kRates[] = {{0.405, "0.405"},   {1.2, "1.20"},
                                                   {0.8125, "0.8125"}, {0.81, "0.81"},
                                                   {2200, "2,200.00"}, {1234567.5, "1,234,567.50"},
                                                   {0.00004, "0.00"},  {-0.15, "-0.15"}};
  for (const auto& [rate, text] : kRates) EXPECT_EQ(RateText(rate), text) << rate;
}

// Splits CSV text into records of fields: quoted fields may hold commas,
// doubled quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      quoted = !quoted;  // a doubled quote inside a field reopens it, giving one quote
      if (quoted && i > 0 && text[i - 1] == '"') records.back().back() += '"';
    } else if (!quoted && text[i] == ',') {
      records.back().emplace_back();
    } else if (!quoted && text[i] == '\n') {
      records.emplace_back(1);
    } else {
      records.back().back() += text[i];
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();
  return records;
}

TEST(StatementFormat, CsvReadsBackToTheSameRows) {
  Statement statement = TwoItems();
  statement.lines.push_back(Line("Code1 ChallanNo Qty2", {101.0, "C-9, \"back\"\nside", 12.75}));
  statement.header.party = "Rao, \"Sons\"";
  const auto records = ParseCsv(Printed(statement, StatementFormat::kCsv));
  ASSERT_EQ(records.size(), statement.lines.size() + 1);
  std::vector<std::string> header(db::WorkTableColumns().begin(), db::WorkTableColumns().end());
  header.insert(header.end(), {"ItemName", "Party"});
  EXPECT_EQ(records[0], header);
  for (size_t row = 0; row < statement.lines.size(); ++row) {
    std::vector<std::string> expected;
    for (const auto& [name, value] : statement.lines[row].columns) {
      expected.push_back(value.IsNull() ? "" : value.ToText());
    }
    expected.push_back(row == 1 || row == 4 || row == 5 ? "Prop 3m" : "Shuttering plate 600x300");
    expected.push_back(statement.header.party);
    EXPECT_EQ(records[row + 1], expected) << "row " << row;
  }
}

// JSON is written line by line as the lines are read, yet reads as one array
// laid out as its own indented dump; the grand total comes along, and a line
// whose amount is not a number is written as it stands.
TEST(StatementFormat, JsonWrittenLineByLineIsOneIndentedArray) {
  Statement statement = TwoItems();
  const std::string json = Printed(statement, StatementFormat::kJson);
  const auto array = nlohmann::ordered_json::parse(json);
  ASSERT_EQ(array.size(), statement.lines.size());
  EXPECT_EQ(json, array.dump(2) + "\n");
  // The work table's columns in their order, then the item's and the party's names.
  std::vector<std::string> keys;
  for (const auto& [key, value] : array[0].items()) keys.push_back(key);
  std::vector<std::string> expected(db::WorkTableColumns().begin(), db::WorkTableColumns().end());
  expected.insert(expected.end(), {"ItemName", "Party"});
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(array[0]["Code1"], 101.0);
  EXPECT_EQ(array[1]["ItemName"], "Prop 3m");
  EXPECT_EQ(array[1]["Party"], "Sharma Builders");
  EXPECT_EQ(array[5]["ItemName"], "Prop 3m");
  EXPECT_EQ(Printed(Empty(), StatementFormat::kJson), "[]\n");

  std::ostringstream out;
  StreamedStatement streamed(StatementFormat::kCsv, out, {});
  for (const auto& line : statement.lines) streamed.Add(line, "Sharma Builders");
  EXPECT_DOUBLE_EQ(streamed.grand_total(), GrandTotal(statement));
  streamed.Add(Line("Code1 Qty2", {101.0, "twelve"}), "Sharma Builders");
  streamed.Finish();
  EXPECT_THAT(out.str(), HasSubstr(",twelve,"));
  EXPECT_THROW(streamed.grand_total(), Error);
  EXPECT_THROW(StreamedStatement(StatementFormat::kTable, out, {}), Error);
}

// Whether every element is closed, in order, and every & starts an entity,
// as an XML parser requires.
::testing::AssertionResult WellFormed(const std::string& html) {
  constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;"};
  std::vector<std::string> open;
  for (size_t at = 0; at < html.size(); ++at) {
    const std::string_view rest = std::string_view(html).substr(at);
    if (rest.starts_with('&') && !std::ranges::any_of(kEntities, [&](std::string_view entity) {
          return rest.starts_with(entity);
        })) {
      return ::testing::AssertionFailure() << "bare & at " << at << ": " << rest.substr(0, 8);
    }
    if (html[at] != '<') continue;
    const size_t end = html.find('>', at);
    if (end == std::string::npos) return ::testing::AssertionFailure() << "unclosed tag at " << at;
    const std::string tag = html.substr(at + 1, end - at - 1);
    at = end;
    if (tag.starts_with("!")) continue;
    if (tag.starts_with("/")) {
      if (open.empty() || open.back() != tag.substr(1)) {
        return ::testing::AssertionFailure()
               << "</" << tag.substr(1) << "> closes " << (open.empty() ? "nothing" : open.back());
      }
      open.pop_back();
    } else if (!tag.ends_with("/")) {
      open.push_back(tag.substr(0, tag.find_first_of(" \n")));
    }
  }
  if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> not closed";
  return ::testing::AssertionSuccess();
}

TEST(StatementFormat, HtmlIsWellFormedEscapedAndChartsEveryItemOnOneAxis) {
  Statement statement = TwoItems();
  statement.header.party = "Rao & Sons <Contractors>";
  statement.header.company = {"Sai \"Formwork\" \\ Co.", "Jaipur"};
  statement.item_names["205"] = "Prop \"3m\" <steel> & 'adjustable'";
  statement.lines.push_back(Line("Code1 ChallanNo Qty2", {307.0, "<b>C&9</b>", 1.0}));
  const std::string html = Printed(statement, StatementFormat::kHtml);

  EXPECT_TRUE(WellFormed(html));
  // One chart, and one table: one set of column widths.
  for (const char* once : {"<svg", "<table class=\"lines\">"}) {
    EXPECT_TRUE(html.find(once) != std::string::npos && html.find(once) == html.rfind(once));
  }
  // The page's running heading is a CSS string that no text can end.
  EXPECT_THAT(html, HasSubstr("content: \"Rao \\26  Sons \\3c Contractors\\3e  - rent"));
  EXPECT_THAT(html, HasSubstr("content: \"Sai \\22 Formwork\\22  \\5c  Co.\""));
  EXPECT_THAT(html, HasSubstr("Rao &amp; Sons &lt;Contractors&gt;"));
  EXPECT_THAT(html, HasSubstr("Prop &quot;3m&quot; &lt;steel&gt; &amp; &#39;adjustable&#39;"));
  EXPECT_THAT(html, HasSubstr("&lt;b&gt;C&amp;9&lt;/b&gt;"));
  EXPECT_THAT(html, AllOf(Not(HasSubstr("<Contractors>")), Not(HasSubstr("<steel>"))));
}

TEST(StatementFormat, ItemNamesAreKeyedAsTheLinesReadTheirItemCodes) {
  rnt::testing::CompanyFile company;
  company.Execute(
      "Insert Into Master1 values (101, 6, 'Shuttering plate', NULL), (12, 2, 'Sharma "
      "Builders', NULL), (205, 6, 'Prop 3m ', NULL)");
  EXPECT_EQ(refhost::ItemNames(company.connection()),
            (std::map<std::string, std::string>{{"101", "Shuttering plate"}, {"205", "Prop 3m"}}));
  // atShut keeps Code1 as a float.
  EXPECT_EQ(Line("Code1", {101.0}).Get("Code1").ToText(), "101");
  EXPECT_THROW(ParseStatementFormat("pdf"), Error);
}

}  // namespace
}  // namespace rnt::cli
