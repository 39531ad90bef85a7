// The printed rent statement: totals that add up, lost and damaged pieces
// marked, CSV that reads back, and an HTML file that is well-formed and
// escapes the company's texts.
#include "cli/statement_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "db/work_table.h"
#include "refhost/item_names.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "support/company_file.h"

namespace rnt::cli {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

refhost::RentLine Line(std::initializer_list<std::pair<std::string_view, Variant>> values) {
  refhost::RentLine line;
  for (std::string_view column : db::WorkTableColumns()) {
    line.columns.emplace_back(std::string(column), Variant::Null());
  }
  for (const auto& [name, value] : values) {
    for (auto& column : line.columns) {
      if (column.first == name) column.second = value;
    }
  }
  return line;
}

refhost::RentLine RentPeriod(double item, const char* challan, const char* from, const char* to,
                             double held, double amount) {
  return Line({{"Code1", item},
               {"RecType", 1.0},
               {"ChallanNo", challan},
               {"Dte1", from},
               {"Dte2", to},
               {"Days", 10.0},
               {"D4", held},
               {"Price", 2.5},
               {"Qty", held * 10},
               {"Qty2", amount}});
}

// Two items, the second one's lines between the first one's, with a lost and a
// damage line and a line that has no amount.
Statement TwoItems() {
  Statement statement{"Sharma Builders", "31-05-2021", "meena", {}, {}};
  statement.item_names = {{"101", "Shuttering plate 600x300"}, {"205", "Prop 3m"}};
  statement.lines = {
      RentPeriod(101, "C-1", "01-04-2021", "14-04-2021", 100, 3500),
      RentPeriod(205, "C-2", "03-04-2021", "30-04-2021", 40, 0.335),
      RentPeriod(101, "R-7", "15-04-2021", "31-05-2021", 60, 1234.56),
      Line({{"Code1", 101.0},
            {"RecType", 2.0},
            {"RNo", "Lost"},
            {"Qty", 2.0},
            {"Price", 950.0},
            {"Qty2", 1900.0}}),
      Line({{"Code1", 205.0},
            {"RecType", 3.0},
            {"RNo", "Damage"},
            {"Qty", 3.0},
            {"Price", 40.0},
            {"Qty2", 120.0}}),
      Line({{"Code1", 205.0}, {"RecType", 1.0}, {"Dte1", "01-05-2021"}, {"D4", -1.0}}),
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

TEST(StatementFormat, MarksLostAndDamagedLinesUnderTheirItems) {
  const std::vector<std::string> table = LinesOf(Printed(TwoItems(), StatementFormat::kTable));
  const std::string* lost = LineHolding(table, "950.00");
  const std::string* damaged = LineHolding(table, "40.00");
  ASSERT_TRUE(lost && damaged);
  EXPECT_THAT(*lost, EndsWith("lost"));
  EXPECT_THAT(*damaged, EndsWith("damaged"));
  EXPECT_THAT(*LineHolding(table, "R-7"), Not(HasSubstr("lost")));
  // Each item's lines follow its name, the lost plates among the plates.
  const auto at = [&table](const std::string* line) { return line - table.data(); };
  const std::string* plates = LineHolding(table, "Shuttering plate 600x300 (101)");
  const std::string* props = LineHolding(table, "Prop 3m (205)");
  ASSERT_TRUE(plates && props);
  EXPECT_LT(at(plates), at(LineHolding(table, "R-7")));
  EXPECT_LT(at(LineHolding(table, "R-7")), at(lost));
  EXPECT_LT(at(lost), at(props));
  EXPECT_LT(at(props), at(damaged));

  EXPECT_EQ(
      Printed(Statement{"Sharma Builders", "31-05-2021", "meena", {}, {}}, StatementFormat::kTable),
      "No rent lines for Sharma Builders on 31-05-2021.\n");
}

// Splits CSV text into records of fields: quoted fields may hold commas,
// doubled quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      records.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      records.back().emplace_back();
    } else if (!quoted && c == '\n') {
      records.emplace_back(1);
    } else {
      records.back().back() += c;
    }
  }
  if (records.back() == std::vector<std::string>(1)) records.pop_back();
  return records;
}

TEST(StatementFormat, CsvReadsBackToTheSameRows) {
  Statement statement = TwoItems();
  statement.lines.push_back(
      Line({{"Code1", 101.0}, {"ChallanNo", "C-9, \"back\"\nside"}, {"Qty2", 12.75}}));
  const auto records = ParseCsv(Printed(statement, StatementFormat::kCsv));
  ASSERT_EQ(records.size(), statement.lines.size() + 1);
  EXPECT_TRUE(std::ranges::equal(records[0], db::WorkTableColumns()));
  for (size_t row = 0; row < statement.lines.size(); ++row) {
    std::vector<std::string> expected;
    for (const auto& [name, value] : statement.lines[row].columns) {
      expected.push_back(value.IsNull() ? "" : value.ToText());
    }
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
  EXPECT_EQ(array[0]["Code1"], 101.0);
  EXPECT_EQ(
      Printed(Statement{"Sharma Builders", "31-05-2021", "meena", {}, {}}, StatementFormat::kJson),
      "[]\n");

  std::ostringstream out;
  StreamedStatement streamed(StatementFormat::kCsv, out);
  for (const auto& line : statement.lines) streamed.Add(line);
  EXPECT_DOUBLE_EQ(streamed.grand_total(), GrandTotal(statement));
  streamed.Add(Line({{"Code1", 101.0}, {"Qty2", "twelve"}}));
  streamed.Finish();
  EXPECT_THAT(out.str(), HasSubstr(",twelve,"));
  EXPECT_THROW(streamed.grand_total(), Error);
  EXPECT_THROW(StreamedStatement(StatementFormat::kTable, out), Error);
}

// Whether every element is closed, in order, and every & starts an entity,
// as an XML parser requires.
::testing::AssertionResult WellFormed(const std::string& html) {
  std::vector<std::string> open;
  for (size_t at = 0; at < html.size(); ++at) {
    if (html[at] == '&') {
      const size_t end = html.find(';', at);
      const std::string entity = html.substr(at, end == std::string::npos ? 8 : end - at + 1);
      if (entity != "&amp;" && entity != "&lt;" && entity != "&gt;" && entity != "&quot;" &&
          entity != "&#39;") {
        return ::testing::AssertionFailure() << "bare & at " << at << ": " << entity;
      }
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

size_t Count(const std::string& text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(StatementFormat, HtmlIsWellFormedEscapedAndChartsEachItem) {
  Statement statement = TwoItems();
  statement.party = "Rao & Sons <Contractors>";
  statement.item_names["205"] = "Prop \"3m\" <steel> & 'adjustable'";
  statement.lines.push_back(Line({{"Code1", 307.0}, {"ChallanNo", "<b>C&9</b>"}, {"Qty2", 1.0}}));
  const std::string html = Printed(statement, StatementFormat::kHtml);

  EXPECT_TRUE(WellFormed(html));
  EXPECT_EQ(Count(html, "<svg"), 3u);
  EXPECT_THAT(html, HasSubstr("Rao &amp; Sons &lt;Contractors&gt;"));
  EXPECT_THAT(html, HasSubstr("Prop &quot;3m&quot; &lt;steel&gt; &amp; &#39;adjustable&#39;"));
  EXPECT_THAT(html, HasSubstr("&lt;b&gt;C&amp;9&lt;/b&gt;"));
  EXPECT_THAT(html, Not(HasSubstr("<Contractors>")));
  EXPECT_THAT(html, Not(HasSubstr("<steel>")));
}

TEST(StatementFormat, ItemNamesAreKeyedAsTheLinesReadTheirItemCodes) {
  rnt::testing::CompanyFile company;
  company.Execute(
      "Insert Into Master1 values (101, 6, 'Shuttering plate', NULL), (12, 2, 'Sharma "
      "Builders', NULL), (205, 6, 'Prop 3m ', NULL)");
  EXPECT_EQ(refhost::ItemNames(company.connection()),
            (std::map<std::string, std::string>{{"101", "Shuttering plate"}, {"205", "Prop 3m"}}));
  // atShut keeps Code1 as a float.
  EXPECT_EQ(Line({{"Code1", 101.0}}).Get("Code1").ToText(), "101");
  EXPECT_THROW(ParseStatementFormat("pdf"), Error);
}

}  // namespace
}  // namespace rnt::cli
