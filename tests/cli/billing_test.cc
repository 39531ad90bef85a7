// rnt0417 as a billing tool: the demo and its statements as the party gets
// them, posting a rent voucher and billing on from it, and the company's
// years found rather than typed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "rnt/value_text.h"
#include "scenarios/history.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// rnt0417 `command` for the party and rent date, on the company that the
// arguments after them name.
ProgramRun Bill(const std::string& command, const std::string& party, const std::string& rent_date,
                std::vector<std::string> company) {
  company.insert(company.begin(), {command, "--party", party, "--rent-date", rent_date});
  return Rnt(company);
}

// The lines of a run that finishes without a word on standard error.
nlohmann::json Lines(const std::string& party, const std::string& rent_date,
                     std::vector<std::string> company) {
  company.insert(company.end(), {"--format", "json"});
  ProgramRun run = Bill("run", party, rent_date, company);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_THAT(run.err, IsEmpty());
  return nlohmann::json::parse(run.exit_status == 0 ? run.out : "[]");
}

// Per item code, the sum of a column over the rent periods' lines, or its
// last value.
std::map<double, double> PerItem(const nlohmann::json& lines, const char* column,
                                 bool last = false) {
  std::map<double, double> by_item;
  for (const auto& line : lines) {
    if (line["RecType"] != 1.0 || !line[column].is_number()) continue;
    double& value = by_item[line["Code1"].get<double>()];
    value = (last ? 0 : value) + line[column].get<double>();
  }
  return by_item;
}

// The party billed to `first`, that bill posted, and billed on to `second`:
// the two bills charge each item that `moved` (given the second bill) does
// not name the quantity-days of one bill to `second` made before the post.
void ExpectPostedBillsEveryDayOnce(
    const std::string& party, const std::string& first, const std::string& second,
    const std::vector<std::string>& company,
    const std::function<std::set<double>(const nlohmann::json& second_bill)>& moved) {
  const nlohmann::json whole = Lines(party, second, company);
  std::map<double, double> split = PerItem(Lines(party, first, company), "Qty");
  ProgramRun posted = Bill("post", party, first, company);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  const nlohmann::json billed_on = Lines(party, second, company);
  for (auto [item, quantity_days] : PerItem(billed_on, "Qty")) split[item] += quantity_days;
  const std::set<double> moving = moved(billed_on);
  for (auto [item, quantity_days] : PerItem(whole, "Qty")) {
    if (!moving.count(item)) {
      EXPECT_EQ(split[item], quantity_days) << party << " from " << first << ", item " << item;
    }
  }
}

// The demo company in a folder of its own, both year files in it.
class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramRun demo = Rnt({"demo", "--dir", Folder().string()});
    ASSERT_EQ(demo.exit_status, 0) << demo.err;
    EXPECT_THAT(demo.err, IsEmpty());
    demo_out_ = demo.out;
  }
  std::filesystem::path Folder() const { return folder_.path() / "demo"; }
  std::vector<std::string> Dir() const { return {"--company", Folder().string()}; }
  std::string Current() const { return (Folder() / "demo-2024-25.db").string(); }
  std::string Previous() const { return (Folder() / "demo-2023-24.db").string(); }

  TempFolder folder_;
  std::string demo_out_;
};

TEST_F(Demo, PrintsTwoStatementsThatAddUpAndLostPiecesLeaveTheBalance) {
  for (const char* party : {"Sharma Builders", "Kapoor Constructions"}) {
    const nlohmann::json lines = Lines(party, "01-07-2024", Dir());
    ASSERT_FALSE(lines.empty()) << party;
    double total = 0;
    for (const auto& line : lines)
      total += line["Qty2"].is_number() ? line["Qty2"].get<double>() : 0;
    EXPECT_GT(total, 100) << party;
    EXPECT_THAT(demo_out_, HasSubstr(TwoDecimalText(total))) << party;
    // Beside the work table's columns, the item's name and the party's.
    EXPECT_EQ(lines[0]["Party"], party);
    EXPECT_NE(lines[0]["ItemName"], "");
  }
  // Clamps returned, two of them lost (Sharma) and four (Metro): none is
  // left with the party to go on accruing rent after its value is billed.
  for (const char* party : {"Sharma Builders", "Metro Infra Projects"}) {
    EXPECT_EQ(PerItem(Lines(party, "01-07-2024", Dir()), "D4", true)[207], 0) << party;
  }
  EXPECT_EQ(Rnt({"demo", "--dir", Folder().string()}).exit_status, 2);
}

// Billing to R1, posting and billing on to R2 charges every quiet item's
// days exactly once, as one bill to R2 does; what moves on R1 or later is in
// the second bill.
TEST_F(Demo, APostedMonthAndTheNextBillEveryDayOnce) {
  const struct {
    const char* party;
    const char* first_rent_date;   // a challan's day
    std::set<std::string> moving;  // challans from it to the end of June
  } kBills[] = {{"Sharma Builders", "10-06-2024", {"DC-1260"}},
                {"Kapoor Constructions", "12-06-2024", {"DC-1275", "RC-497"}}};
  for (const auto& bill : kBills) {
    std::set<std::string> billed_challans;
    ExpectPostedBillsEveryDayOnce(
        bill.party, bill.first_rent_date, "01-07-2024", Dir(), [&](const nlohmann::json& second) {
          std::set<double> moved;
          for (const auto& line : second) {
            if (!line["RNo"].is_string() || !bill.moving.count(line["RNo"])) continue;
            moved.insert(line["Code1"].get<double>());
            billed_challans.insert(line["RNo"].get<std::string>());
          }
          return moved;
        });
    EXPECT_EQ(billed_challans, bill.moving) << bill.party;
    EXPECT_THAT(Bill("post", bill.party, bill.first_rent_date, Dir()).err,
                HasSubstr("by rent voucher"));
  }
  EXPECT_THAT(Rnt({"parties", "--company", Folder().string()}).out,
              HasSubstr("Sharma Builders       10-06-2024      09-06-2024    7002"));
}

// The command line's wrong values, and company years that do not fit, are
// refused with exit 2 and a one-line reason before anything is written; the
// years are found in the company's folder as they would be typed.
TEST_F(Demo, FindsTheCompanysYearsAndRefusesWrongValuesWritingNothing) {
  const std::string current = Current(), before = FileText(current);
  const std::pair<std::vector<std::string>, std::string> kRefused[] = {
      {{"--rent-date", "31-02-2024"}, "--rent-date: not a date: '31-02-2024'"},
      {{"--search-date", "soon"}, "--search-date: not a date: 'soon'"},
      {{"--party", "Nobody"}, "rnt0417 parties lists"},
      {{"--party", "sharma buildrs"},
       "no party 'sharma buildrs' in Master1 of " + current + "; did you mean 'Sharma Builders'?"},
      {{"--all-parties", "--output", "x.txt"}, "--output-dir DIR"},
      {{"--output-dir", "x"}, "--output FILE"},
      {{"--year-start", "01-04-2021"}, "--year-start goes with --server"},
      {{"--user", "../etc"}, "--user: '../etc'"},
      {{"--previous-year", "/no/file"}, "/no/file"},
      {{"--format", "xml"}, "xml"},
      {{"--colour"}, "expected: --colour"},
      {{"--company", "/no/company.db"}, "--company: no such file: /no/company.db"},
      {{"--company", current, "--previous-year", current},
       "--previous-year: " + current + " is the current year's file itself"},
      {{"--company", Previous(), "--previous-year", current, "--rent-date", "01-03-2024"},
       "--previous-year: " + current + " holds the year 01-04-2024 to 31-03-2025, not the one"},
      {{"--company", current, "--rent-date", "01-07-2030"},
       "--rent-date: 01-07-2030 is outside the year of " + current + " (01-04-2024 to 31-03-2025)"},
      {{"--company", current, "--rent-date", "31-03-2024"},
       "(01-04-2024 to 31-03-2025): its rent dates run from 01-04-2024 to 01-04-2025"},
      {{"--rent-date", "01-07-2030"},
       "--rent-date: no year file in " + Folder().string() +
           " bills 01-07-2030 (its files hold the days from "
           "01-04-2023 to 31-03-2025)"},
  };
  for (auto [arguments, reason] : kRefused) {
    // The demo's folder, Sharma Builders and the statements' rent date where
    // the arguments name none.
    std::map<std::string, std::string> named{{"--company", Folder().string()},
                                             {"--party", "Sharma Builders"},
                                             {"--rent-date", "01-07-2024"}};
    for (const std::string& argument : arguments) {
      named.erase(argument == "--all-parties" ? "--party" : argument);
    }
    for (const auto& [option, value] : named) arguments.insert(arguments.end(), {option, value});
    arguments.insert(arguments.begin(), "run");
    EXPECT_TRUE(EndedWith(Rnt(arguments), 2, reason));
  }
  EXPECT_EQ(FileText(current), before);

  const nlohmann::json typed =
      Lines("Sharma Builders", "01-07-2024", {"--company", current, "--previous-year", Previous()});
  EXPECT_EQ(Lines("Sharma Builders", "01-07-2024", Dir()), typed);
  EXPECT_EQ(Lines("Sharma Builders", "01-07-2024", {"--company", current}), typed);
  EXPECT_EQ(Bill("run", "Sharma Builders", "01-04-2025", {"--company", current}).exit_status, 0);
  // The party as typed, with spaces around it; the report counts the
  // statements sent to each database.
  EXPECT_THAT(
      Bill("run", " sharma builders ", "01-07-2024", {"--company", current, "--report"}).err,
      ::testing::ContainsRegex("rnt0417: statements sent: add-on [1-9][0-9]*, host "
                               "current year [1-9][0-9]*, host previous year [1-9][0-9]*\n"));
  std::filesystem::copy_file(current, Folder() / "copy-of-2024-25.db");
  EXPECT_TRUE(EndedWith(Bill("run", "Sharma Builders", "01-07-2024", Dir()), 2, "holds two files"));

  // Without the year before, the clamps issued then come back from nothing.
  TempFolder alone;
  const std::vector<std::string> current_only = {"--company",
                                                 (alone.path() / "demo-2024-25.db").string()};
  std::filesystem::copy_file(current, current_only[1]);
  ProgramRun missing = Bill("run", "Sharma Builders", "01-07-2024", current_only);
  EXPECT_EQ(missing.exit_status, 0);
  EXPECT_THAT(missing.err, HasSubstr("warning: Sharma Builders holds Right-angle clamp (207) down "
                                     "to -150"));
  EXPECT_EQ(Bill("post", "Sharma Builders", "01-07-2024", current_only).exit_status, 3);
  // A file that is no database at all.
  const std::string broken = (alone.path() / "broken.db").string();
  std::ofstream(broken) << "a spreadsheet saved under the wrong name, not a company database";
  EXPECT_TRUE(EndedWith(Bill("run", "x", "01-07-2024", {"--company", broken}), 1,
                        "cannot read company file " + broken));
}

TEST(CommandLine, ShowsUsageWithAnExampleAndItsVersion) {
  ProgramRun help = Rnt({"--help"}), run_help = Rnt({"run", "--help"}),
             version = Rnt({"--version"});
  for (const ProgramRun& shown : {help, run_help, version}) EXPECT_EQ(shown.exit_status, 0);
  EXPECT_THAT(help.out, HasSubstr("Example"));
  EXPECT_THAT(run_help.out, ::testing::AllOf(HasSubstr("--rent-date"), HasSubstr("Example")));
  EXPECT_THAT(version.out, ::testing::StartsWith("rnt0417 1."));
}

// The same on generated histories over a year's end, first billed to a day on
// which a challan moves.
TEST(GeneratedCompanies, APostedBillAndTheNextBillEveryDayOnce) {
  for (uint32_t seed : {3u, 11u, 29u, 47u, 83u}) {
    const History history = GenerateHistory(seed);
    const std::string second_rent_date = FormatDate(history.last_day.AddDays(1), "dd-mm-yyyy");
    // The first rent date: a day of the new year with a challan on it, where
    // there is one.
    Date first_day = history.year_start.AddDays(30);
    for (const HistoryEntry& entry : history.entries) {
      if (entry.day > history.year_start.AddDays(10) && entry.day < history.last_day) {
        first_day = entry.day;
        break;
      }
    }
    SCOPED_TRACE("seed " + std::to_string(seed));
    CompanyYear current(history.year_start), previous(history.year_start.AddDays(-365));
    Record(history, previous, current);
    ExpectPostedBillsEveryDayOnce(
        "Sharma Builders", FormatDate(first_day, "dd-mm-yyyy"), second_rent_date,
        {"--company", current.path().string(), "--previous-year", previous.path().string()},
        [&](const nlohmann::json& second) {
          // Each item that changes between the two bills is billed on from
          // one of its challans of that time.
          std::set<double> moved;
          for (const auto& [item, change] :
               history.NetChangesBetween(first_day.AddDays(-1), history.last_day)) {
            std::set<std::string> challans;
            for (const HistoryEntry& entry : history.entries) {
              if (entry.item == item && entry.day >= first_day) challans.insert(entry.challan);
            }
            if (challans.empty()) continue;
            moved.insert(item);
            EXPECT_TRUE(std::ranges::any_of(second,
                                            [&](const nlohmann::json& line) {
                                              return line["Code1"] == item &&
                                                     line["RNo"].is_string() &&
                                                     challans.count(line["RNo"]);
                                            }))
                << "item " << item;
          }
          return moved;
        });
  }
}

// The statement a clerk sends: the business and the period at its head, the
// rates as stored so that quantity-days times rate is the amount, lost and
// damaged pieces with their challan, day and reckoning, a full return shown as
// such; every line fits a terminal of 80 columns; the login name is not shown.
TEST_F(Demo, TheStatementsReadAsDocumentsToSend) {
  const std::pair<const char*, std::vector<std::string>> kExpected[] = {
      {"kapoor constructions",
       {"Shree Ganesh Shuttering Stores\nShed 12, Transport Nagar, Jaipur",
        "Party:      Kapoor Constructions\n",  // as Master1 spells it
        "Period:     01-06-2024 to 30-06-2024\n"
        "            continued from rent voucher 7001 of 31-05-2024\n",
        "  DC-1150  31-05-2024  24-06-2024    24    60  0.405      1440    583.20\n",
        "  RC-497   24-06-2024  1 damaged at 40 % of 600.00                240.00\n",
        "  RC-497   24-06-2024  all 16 returned\n"}},
      {"Sharma Builders",
       {"Period:     12-02-2024 to 30-06-2024\n\n",
        "  RC-455   15-05-2024  1 damaged at 25 % of 2,200.00              550.00\n",
        "  RC-455   15-05-2024  2 lost × 140.00                            280.00\n",
        "  RC-455   15-05-2024  all 24 returned\n"}},
  };
  for (const auto& [party, parts] : kExpected) {
    ProgramRun run =
        Bill("run", party, "01-07-2024", {"--user", "meena", "--company", Folder().string()});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    for (const std::string& part : parts) EXPECT_THAT(run.out, HasSubstr(part));
    EXPECT_THAT(run.out, Not(HasSubstr("meena")));
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(std::ranges::count_if(line, [](char c) { return (c & 0xC0) != 0x80; }), 80) << line;
    }
  }
}

// The HTML statements of the demo shown and printed by a browser, as a
// customer's would show or print them: a page image, and a PDF of as many A4
// pages as the statement needs (the page heading, column headings and page
// numbers are in its print style).
TEST_F(Demo, TheHtmlStatementsShowAndPrintInABrowser) {
  const std::string chromium = "/usr/bin/chromium";
  if (!std::filesystem::exists(chromium)) {
    GTEST_SKIP() << chromium << " is not installed (scripts/setup.sh installs it)";
  }
  for (const auto& [party, pages] :
       {std::pair{"Sharma Builders", 2}, {"Kapoor Constructions", 1}}) {
    const std::filesystem::path page = folder_.path() / (std::string(party) + ".html");
    const std::filesystem::path image = page.string() + ".png", pdf = page.string() + ".pdf";
    ASSERT_EQ(Bill("run", party, "01-07-2024",
                   {"--company", Folder().string(), "--format", "html", "--output", page.string()})
                  .exit_status,
              0);
    // Without these switches it waits on a network that is closed here.
    for (const std::string& output :
         {"--screenshot=" + image.string(), "--print-to-pdf=" + pdf.string()}) {
      TempFolder profile;
      ProgramRun shown = RunProgram(
          chromium,
          {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           "--user-data-dir=" + profile.path().string(), "--window-size=900,1300",
           "--no-pdf-header-footer", output, "file://" + page.string()},
          {std::nullopt, false, 60});  // ended when it has not within a minute
      ASSERT_EQ(shown.exit_status, 0) << party << ": " << shown.err;
    }
    EXPECT_THAT(FileText(image), ::testing::StartsWith("\x89PNG")) << party;
    // One "/Type /Page" object a page.
    const std::string printed = FileText(pdf);
    int printed_pages = 0;
    for (size_t at = printed.find("/Type /Page"); at != std::string::npos;
         at = printed.find("/Type /Page", at + 1)) {
      printed_pages += printed.compare(at, 12, "/Type /Pages") != 0;
    }
    EXPECT_EQ(printed_pages, pages) << party;
  }
}

}  // namespace
}  // namespace rnt::testing
