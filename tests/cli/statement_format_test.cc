// The printed rent statement. The statements of tests/cli/statements are
// printed as a table, CSV and JSON and compared with the texts kept beside
// them; here besides: the HTML file well-formed and escaping the company's
// texts, the statement written line by line, and the items' names.
#include "cli/statement_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>
#include <sstream>
#include <tuple>

#include "db/work_table.h"
#include "refhost/day_challans.h"
#include "refhost/marked_pieces.h"
#include "refhost/master_names.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "support/company_file.h"
#include "support/program_run.h"

namespace rnt::cli {
namespace {

using nlohmann::json;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

const std::filesystem::path kCases = std::filesystem::path(__FILE__).parent_path() / "statements";

Date Day(const json& text) { return ParseDateText(text.get<std::string>()).value(); }

// A line of the work table's columns: the values of those the object names,
// null in the others.
refhost::RentLine Line(const json& values) {
  refhost::RentLine line;
  for (std::string_view column : db::WorkTableColumns()) {
    const json value = values.value(column, json());
    line.columns.emplace_back(column, value.is_null()     ? Variant::Null()
                                      : value.is_number() ? Variant(value.get<double>())
                                                          : Variant(value.get<std::string>()));
  }
  return line;
}

json Case(const std::string& name) {
  return json::parse(std::ifstream(kCases / name / "case.json"));
}

// The statement of a case of tests/cli/statements (README.md there).
Statement StatementOf(const json& c) {
  const auto voucher = [&](const char* key) -> std::optional<refhost::PostedRentVoucher> {
    if (!c.contains(key)) return std::nullopt;
    return refhost::PostedRentVoucher{c[key][0].get<int32_t>(), Day(c[key][1])};
  };
  const json company = c.value("company", json::array({"", ""}));
  Statement statement{{{company[0], company[1]},
                       c.value("party", "Sharma Builders"),
                       Day(c["closing_day"]),
                       voucher("continued_from"),
                       voucher("posted_as"),
                       refhost::ParseDayRule(c.value("day_rule", "")).value(),
                       refhost::ParseAmountGrouping(c.value("amount_grouping", "")).value()},
                      {},
                      c.value("items", std::map<std::string, std::string>()),
                      {},
                      {}};
  for (const json& day : c.value("day_challans", json::array())) {
    statement.day_challans[{day["item"].get<int32_t>(), Day(day["on"])}] =
        day["challans"].get<std::vector<std::string>>();
  }
  for (const json& line : c["lines"]) statement.lines.push_back(Line(line));
  for (const json& piece : c.value("marked_pieces", json::array())) {
    statement.marked_pieces.push_back(
        {piece["item"].get<int32_t>(), piece.contains("lost"), Day(piece["on"]),
         piece["challan"].get<std::string>(), piece.value("lost", piece.value("damaged", 0.0)),
         piece.value("percent", 0.0), piece["piece_value"].get<double>()});
  }
  return statement;
}

// The statement as printed, or the reason why it cannot be.
std::string Printed(const Statement& statement, StatementFormat format) {
  std::ostringstream out;
  try {
    PrintStatement(statement, format, out);
  } catch (const Error& error) {
    return std::string("not printed: ") + error.what() + "\n";
  }
  return out.str();
}

TEST(StatementFormat, EveryCasePrintsAsTheTextsKeptBesideIt) {
  int cases = 0;
  for (const auto& folder : std::filesystem::directory_iterator(kCases)) {
    if (!folder.is_directory()) continue;
    ++cases;
    SCOPED_TRACE(folder.path().filename());
    const json c = Case(folder.path().filename());
    for (const std::string format : c.value("printed_as", json{"table", "csv", "json"})) {
      const std::string printed = Printed(StatementOf(c), ParseStatementFormat(format));
      const std::string kept = format == "table" ? "txt" : format == "sheet" ? "sheet.csv" : format;
      testing::ExpectFileHolds(folder.path() / ("printed." + kept), printed);
      // JSON is written line by line as the lines are read, yet reads as one
      // array laid out as its own indented dump.
      if (format == "json") {
        EXPECT_EQ(printed, nlohmann::ordered_json::parse(printed).dump(2) + "\n");
      }
    }
  }
  EXPECT_GE(cases, 9);
}

// The statement written line by line adds up its grand total as it goes, as
// the printed amounts (0.335 as 0.34), until an amount is not a number.
TEST(StatementFormat, AStreamedStatementAddsUpItsLinesAsTheWholeStatementDoes) {
  for (const char* name : {"two_items", "amounts_add_up_as_printed"}) {
    const Statement statement = StatementOf(Case(name));
    std::ostringstream out;
    StreamedStatement streamed(StatementFormat::kCsv, out, {});
    for (const auto& line : statement.lines) streamed.Add(line, "Sharma Builders");
    EXPECT_EQ(streamed.grand_total(), GrandTotal(statement)) << name;
  }
  const Statement statement = StatementOf(Case("two_items"));
  EXPECT_EQ(GrandTotal(statement), 350000 + 34 + 123456 + 190000 + 12000);
  std::ostringstream out;
  StreamedStatement streamed(StatementFormat::kCsv, out, {});
  streamed.Add(Line({{"Code1", 101}, {"Qty2", "twelve"}}), "Sharma Builders");
  EXPECT_THROW(streamed.grand_total(), Error);
  EXPECT_THROW(GrandTotal(StatementOf(Case("amount_not_a_number"))), Error);
  EXPECT_THROW(StreamedStatement(StatementFormat::kTable, out, {}), Error);
  EXPECT_THROW(ParseStatementFormat("pdf"), Error);
}

// Whether every element is closed, in order, and every & starts an entity,
// as an XML parser requires.
::testing::AssertionResult WellFormed(const std::string& html) {
  std::smatch bare;
  if (std::regex_search(html, bare, std::regex("&(?!amp;|lt;|gt;|quot;|#39;).{0,8}"))) {
    return ::testing::AssertionFailure() << "bare &: " << bare.str();
  }
  std::vector<std::string> open;
  const std::regex tag("<(/?)([a-zA-Z][a-zA-Z0-9]*)[^>]*?(/?)>");
  for (std::sregex_iterator at(html.begin(), html.end(), tag), end; at != end; ++at) {
    const std::string name = (*at)[2];
    if ((*at)[1].length() == 0) {
      if ((*at)[3].length() == 0) open.push_back(name);
    } else if (open.empty() || open.back() != name) {
      return ::testing::AssertionFailure()
             << "</" << name << "> closes " << (open.empty() ? "nothing" : open.back());
    } else {
      open.pop_back();
    }
  }
  if (!open.empty()) return ::testing::AssertionFailure() << "<" << open.back() << "> not closed";
  return ::testing::AssertionSuccess();
}

TEST(StatementFormat, HtmlIsWellFormedEscapedAndChartsEveryItemOnOneAxis) {
  const std::string html =
      Printed(StatementOf(Case("texts_to_quote_and_escape")), StatementFormat::kHtml);
  EXPECT_TRUE(WellFormed(html));
  // One chart, and one table: one set of column widths.
  for (const char* once : {"<svg", "<table class=\"lines\">"}) {
    EXPECT_TRUE(html.find(once) != std::string::npos && html.find(once) == html.rfind(once));
  }
  // The page's running heading is a CSS string that no text can end.
  EXPECT_THAT(html, HasSubstr("content: \"Rao \\26  Sons, \\22 Contractors\\22  - rent"));
  EXPECT_THAT(html, HasSubstr("content: \"Sai \\22 Formwork\\22  \\5c  \\3c Co.\\3e \""));
  EXPECT_THAT(html, HasSubstr("Rao &amp; Sons, &quot;Contractors&quot;"));
  EXPECT_THAT(html, HasSubstr("Prop &quot;3m&quot; &lt;steel&gt; &amp; &#39;adjustable&#39;"));
  EXPECT_THAT(html, HasSubstr("&lt;b&gt;C&amp;9&lt;/b&gt;"));
  EXPECT_THAT(html, AllOf(Not(HasSubstr("<steel>")), Not(HasSubstr("<Co.>"))));
  EXPECT_THAT(html, HasSubstr("<td>continued from rent voucher 7001 of 15-04-2021</td>"));
  EXPECT_THAT(html, HasSubstr("<td>rent voucher 7002 of 31-05-2021</td>"));
  EXPECT_THAT(html, HasSubstr("<tr><th>Days</th><td>the day of delivery and the day of return are "
                              "both charged</td></tr>"));
  // Beside each strip what is held at the period's end and the most held.
  const std::string returned =
      Printed(StatementOf(Case("challans_of_a_day_and_a_full_return")), StatementFormat::kHtml);
  EXPECT_THAT(returned, AllOf(HasSubstr(">1500 held · most 1500</text>"),
                              HasSubstr(">0 held · most 200</text>")));
}

// The marked pieces of a previous-year challan are read from that year's
// file, at the current year's piece values, and every challan of a day from
// either year: each in one query.
TEST(StatementFormat, MarkedPiecesAndTheChallansOfADayAreReadFromBothYears) {
  rnt::testing::CompanyFile current, previous;
  current.Execute("Insert Into at_PartyPriceConfig values (12, 101, 1.2, 0, 950)");
  previous.Execute(
      "Insert Into Tran2 (VchCode, SrNo, Date, VchNo, MasterCode1, Cm1, Value1) "
      "values (7, 1, '2021-03-22', 'RC-88', 101, 12, 3)");
  previous.Execute("Insert Into ItemDesc (VchCode, SrNo, Desc1) values (7, 1, 'Lost')");
  const std::string stock_entry =
      "Insert Into Tran3 (VchCode, VchType, Date, [No], RecType, TranType, MasterCode1, "
      "MasterCode2, Value1) values ";
  previous.Execute(stock_entry + "(8, 4, '2021-03-31', 'DC-1188', 3, 0, 101, 12, -10)");
  current.Execute(stock_entry +
                  "(9, 4, '2021-04-02', 'DC-1189', 3, 0, 101, 12, -10), "
                  "(10, 4, '2021-04-02', 'DC-1190', 3, 0, 101, 12, -5), "
                  "(11, 4, '2021-04-02', 'DC-2001', 3, 0, 101, 13, -5)");
  const Date first = Date::FromYmd(2021, 3, 1), last = Date::FromYmd(2021, 5, 31);
  const auto pieces =
      refhost::ReadMarkedPieces(current.connection(), 12, first, last, &previous.connection());
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(
      std::tuple(pieces[0].challan, pieces[0].date, pieces[0].quantity, *pieces[0].piece_value),
      std::tuple(std::string("RC-88"), Date::FromYmd(2021, 3, 22), 3.0, 950.0));
  refhost::DayChallans challans;
  refhost::ReadDayChallans(previous.connection(), 12, first, last, challans);
  refhost::ReadDayChallans(current.connection(), 12, first, last, challans);
  EXPECT_EQ(challans,
            (refhost::DayChallans{{{101, Date::FromYmd(2021, 3, 31)}, {"DC-1188"}},
                                  {{101, Date::FromYmd(2021, 4, 2)}, {"DC-1189", "DC-1190"}}}));
}

TEST(StatementFormat, ItemNamesAreKeyedAsTheLinesReadTheirItemCodes) {
  rnt::testing::CompanyFile company;
  company.Execute(
      "Insert Into Master1 values (101, 6, 'Shuttering plate', NULL), (12, 2, 'Sharma "
      "Builders', NULL), (205, 6, 'Prop 3m ', NULL)");
  EXPECT_EQ(refhost::ItemNames(company.connection()),
            (std::map<std::string, std::string>{{"101", "Shuttering plate"}, {"205", "Prop 3m"}}));
  // atShut keeps Code1 as a float.
  EXPECT_EQ(Line({{"Code1", 101}}).Get("Code1").ToText(), "101");
}

}  // namespace
}  // namespace rnt::cli
