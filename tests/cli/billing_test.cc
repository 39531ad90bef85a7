// rnt0417 as a billing tool: the demo and its statements as the party gets
// them, posting a rent voucher and billing on from it, and the company's
// years found rather than typed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/money.h"
#include "rnt/value_text.h"
#include "scenarios/history.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// What the demo prints, and the command lines it refuses.
const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "demo";

// The text with every `from` in it made `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

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
// the two bills charge each item that is not `moving` the quantity-days of
// one bill to `second` made before the post; each moving item is billed on
// from one of its challans given. The post is not made twice.
void ExpectPostedBillsEveryDayOnce(const std::string& party, const std::string& first,
                                   const std::string& second,
                                   const std::vector<std::string>& company,
                                   const std::map<double, std::set<std::string>>& moving) {
  const nlohmann::json whole = Lines(party, second, company);
  std::map<double, double> split = PerItem(Lines(party, first, company), "Qty");
  ProgramRun posted = Bill("post", party, first, company);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_THAT(Bill("post", party, first, company).err, HasSubstr("by rent voucher"));
  const nlohmann::json billed_on = Lines(party, second, company);
  for (auto [item, quantity_days] : PerItem(billed_on, "Qty")) split[item] += quantity_days;
  for (auto [item, quantity_days] : PerItem(whole, "Qty")) {
    if (!moving.count(item)) {
      EXPECT_EQ(split[item], quantity_days) << party << " from " << first << ", item " << item;
    }
  }
  for (const auto& [item, challans] : moving) {
    EXPECT_TRUE(std::ranges::any_of(billed_on,
                                    [&](const nlohmann::json& line) {
                                      return line["Code1"] == item && line["RNo"].is_string() &&
                                             challans.count(line["RNo"]);
                                    }))
        << party << ": item " << item << " is billed on from none of its challans";
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

// The demo prints its statements as tests/cli/demo/demo.txt keeps them: the
// business and the period at their head, rates as stored, lost and damaged
// pieces with their challan, day and reckoning, a full return shown as such.
// A run prints the same statement, with the party as Master1 spells it and
// without the login name, every line within a terminal of 80 columns, its
// lines adding up to its grand total.
TEST_F(Demo, PrintsItsStatementsAsRunsDoAndTheyAddUp) {
  ExpectFileHolds(kData / "demo.txt", Replaced(demo_out_, Folder().string(), "{DIR}"));
  for (auto [typed, party] : {std::pair{"sharma builders", "Sharma Builders"},
                              {"kapoor constructions", "Kapoor Constructions"}}) {
    ProgramRun run = Bill("run", typed, "01-07-2024", {"--user", "meena", "--company", Dir()[1]});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_THAT(demo_out_, HasSubstr(run.out));
    EXPECT_THAT(run.out, AllOf(HasSubstr(std::string("Party:      ") + party + "\n"),
                               Not(HasSubstr("meena"))));
    std::istringstream printed(run.out);
    for (std::string line; std::getline(printed, line);) {
      EXPECT_LE(std::ranges::count_if(line, [](char c) { return (c & 0xC0) != 0x80; }), 80) << line;
    }
    const nlohmann::json lines = Lines(typed, "01-07-2024", Dir());
    ASSERT_FALSE(lines.empty()) << party;
    // The grand total adds the amounts as printed, each to two decimals.
    cli::Hundredths total = 0;
    for (const auto& line : lines)
      total += cli::PrintedHundredths(line["Qty2"].is_number() ? line["Qty2"].get<double>() : 0);
    EXPECT_THAT(run.out, EndsWith(" " + cli::HundredthsText(total) + "\n")) << party;
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
// days exactly once, as one bill to R2 does; what moves on R1 or later (the
// challans of June from R1 on) is in the second bill.
TEST_F(Demo, APostedMonthAndTheNextBillEveryDayOnce) {
  ExpectPostedBillsEveryDayOnce("Sharma Builders", "10-06-2024", "01-07-2024", Dir(),
                                {{210, {"DC-1260"}}, {211, {"DC-1260"}}});
  ExpectPostedBillsEveryDayOnce("Kapoor Constructions", "12-06-2024", "01-07-2024", Dir(),
                                {{208, {"DC-1275"}}, {206, {"RC-497"}}, {212, {"RC-497"}}});
  // Verma's rate master is no party.
  EXPECT_THAT(Rnt({"parties", "--company", Folder().string()}).out,
              AllOf(HasSubstr("Sharma Builders       10-06-2024      09-06-2024    7002"),
                    HasSubstr("Verma & Sons"), Not(HasSubstr("Standard rates"))));
}

// The command line's wrong values, and company years that do not fit, are
// refused with exit 2 and a one-line reason before anything is written; the
// years are found in the company's folder as they would be typed.
TEST_F(Demo, FindsTheCompanysYearsAndRefusesWrongValuesWritingNothing) {
  const std::string current = Current(), before = FileText(current);
  const auto paths = [&](const std::string& text) {
    return Replaced(Replaced(Replaced(text, "{DIR}", Folder().string()), "{CURRENT}", current),
                    "{PREVIOUS}", Previous());
  };
  const nlohmann::json cases = nlohmann::json::parse(std::ifstream(kData / "refused.json"));
  for (const auto& refused : cases["refused"]) {
    std::vector<std::string> arguments{"run"};
    for (const std::string argument : refused[0]) arguments.push_back(paths(argument));
    EXPECT_TRUE(EndedWith(Rnt(arguments), 2, paths(refused[1])));
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
  EXPECT_THAT(missing.err, HasSubstr("rnt0417: warning: no file for the year 01-04-2023 to "
                                     "31-03-2024 in " +
                                     alone.path().string() +
                                     ": material delivered before the year began is not billed"));
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
    const auto challan = std::ranges::find_if(history.entries, [&](const HistoryEntry& entry) {
      return entry.day > history.year_start.AddDays(10) && entry.day < history.last_day;
    });
    const Date first_day =
        challan == history.entries.end() ? history.year_start.AddDays(30) : challan->day;
    SCOPED_TRACE("seed " + std::to_string(seed));
    CompanyYear current(history.year_start), previous(history.year_start.AddDays(-365));
    Record(history, previous, current);
    // Each item that moves from the first rent date on is billed on from one
    // of its challans of that time.
    std::map<double, std::set<std::string>> moving;
    for (const HistoryEntry& entry : history.entries) {
      if (entry.day >= first_day) moving[entry.item].insert(entry.challan);
    }
    ExpectPostedBillsEveryDayOnce(
        "Sharma Builders", FormatDate(first_day, "dd-mm-yyyy"), second_rent_date,
        {"--company", current.path().string(), "--previous-year", previous.path().string()},
        moving);
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
    const std::regex page_object("/Type\\s*/Page\\b");
    const auto printed_pages = std::distance(
        std::sregex_iterator(printed.begin(), printed.end(), page_object), std::sregex_iterator());
    EXPECT_EQ(printed_pages, pages) << party;
  }
}

}  // namespace
}  // namespace rnt::testing
