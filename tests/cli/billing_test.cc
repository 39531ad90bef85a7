// rnt0417 as a billing tool: the demo, posting a rent voucher and billing
// every party at month end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "rnt/value_text.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

double SumOfAmounts(const std::string& json) {
  double sum = 0;
  for (const auto& line : nlohmann::json::parse(json)) {
    if (!line["Qty2"].is_null()) sum += line["Qty2"].get<double>();
  }
  return sum;
}

// A demo statement of the party, as the clerk would ask for it.
ProgramRun DemoRun(const TempFolder& folder, const std::string& party, const std::string& format,
                   const std::vector<std::string>& more = {}) {
  std::vector<std::string> arguments = {"run",
                                        "--company",
                                        (folder.path() / "demo-2024-25.db").string(),
                                        "--previous-year",
                                        (folder.path() / "demo-2023-24.db").string(),
                                        "--party",
                                        party,
                                        "--rent-date",
                                        "01-07-2024",
                                        "--settle-ms",
                                        "0",
                                        "--format",
                                        format};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return RunProgram(RNT_CLI_PATH, arguments);
}

TEST(Billing, TheDemoPrintsTwoStatementsThatAddUp) {
  TempFolder folder;
  ProgramRun demo = RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()});
  ASSERT_EQ(demo.exit_status, 0) << demo.err;
  for (const char* party : {"Sharma Builders", "Kapoor Constructions"}) {
    ProgramRun json = DemoRun(folder, party, "json");
    ASSERT_EQ(json.exit_status, 0) << json.err;
    double total = SumOfAmounts(json.out);
    EXPECT_GT(total, 100) << party;
    EXPECT_THAT(demo.out, HasSubstr("Grand total")) << party;
    EXPECT_THAT(demo.out, HasSubstr(TwoDecimalText(total))) << party;
    // Beside the work table's columns, the item's name and the party's.
    const auto first = nlohmann::json::parse(json.out).at(0);
    EXPECT_EQ(first["Party"], party);
    EXPECT_FALSE(first["ItemName"].get<std::string>().empty());
  }
  ProgramRun again = RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()});
  EXPECT_EQ(again.exit_status, 2);
}

// The statement a clerk sends: the business and the period at its head, the
// rates as stored so that quantity-days times rate is the amount, lost and
// damaged pieces with their challan, day and reckoning, a full return shown as
// such; every line fits a terminal of 80 columns; the login name is not shown.
TEST(Billing, TheDemoStatementsReadAsDocumentsToSend) {
  TempFolder folder;
  ASSERT_EQ(RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()}).exit_status, 0);
  ProgramRun kapoor = DemoRun(folder, "kapoor constructions", "table", {"--user", "meena"});
  ProgramRun sharma = DemoRun(folder, "Sharma Builders", "table", {"--user", "meena"});
  ASSERT_EQ(kapoor.exit_status, 0) << kapoor.err;
  ASSERT_EQ(sharma.exit_status, 0) << sharma.err;
  const struct {
    const ProgramRun& run;
    std::vector<std::string> parts;
  } kExpected[] = {
      {kapoor,
       {"Shree Ganesh Shuttering Stores\nShed 12, Transport Nagar, Jaipur",
        "Party:      Kapoor Constructions\n",  // as Master1 spells it
        "Period:     01-06-2024 to 30-06-2024\n"
        "            continued from rent voucher 7001 of 31-05-2024\n",
        "  DC-1150  31-05-2024  24-06-2024    24    60  0.405      1440    583.20\n",
        "  RC-497   24-06-2024  1 damaged at 40 % of 600.00                240.00\n",
        "  RC-497   24-06-2024  all 16 returned\n"}},
      {sharma,
       {"Period:     12-02-2024 to 30-06-2024\n\n",
        "  RC-455   15-05-2024  1 damaged at 25 % of 2,200.00              550.00\n",
        "  RC-455   15-05-2024  2 lost × 140.00                            280.00\n",
        "  RC-455   15-05-2024  all 24 returned\n"}},
  };
  for (const auto& [run, parts] : kExpected) {
    for (const std::string& part : parts) EXPECT_THAT(run.out, HasSubstr(part));
    EXPECT_THAT(run.out, Not(HasSubstr("meena")));
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      const auto columns =
          std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
      EXPECT_LE(columns, 80) << line;
    }
  }
}

constexpr const char* kChromium = "/usr/bin/chromium";

// Headless Chromium on one page, as a customer's browser would show or print
// it; without these switches it waits on a network that is closed here.
// Gives false when it did not end within a minute.
bool RunChromium(const std::filesystem::path& page, const std::string& output) {
  TempFolder profile;
  BackgroundProgram chromium(
      kChromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--user-data-dir=" + profile.path().string(), "--window-size=900,1300",
                  "--no-pdf-header-footer", output, "file://" + page.string()});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (chromium.Running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (chromium.Running()) chromium.Kill();
  return chromium.Wait().exit_status == 0;
}

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The pages of a PDF as Chromium writes it: one "/Type /Page" object each.
size_t PdfPages(const std::string& pdf) {
  size_t pages = 0;
  for (size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1)) {
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  }
  return pages;
}

// The HTML statements of the demo shown and printed by a browser: a page
// image, and a PDF of as many A4 pages as the statement needs (the page
// heading, column headings and page numbers are in its print style).
TEST(Billing, TheHtmlStatementsShowAndPrintInABrowser) {
  if (!std::filesystem::exists(kChromium)) {
    GTEST_SKIP() << kChromium << " is not installed (scripts/setup.sh installs it)";
  }
  TempFolder folder;
  ASSERT_EQ(RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()}).exit_status, 0);
  for (const auto& [party, pages] :
       {std::pair{"Sharma Builders", 2u}, {"Kapoor Constructions", 1u}}) {
    const std::filesystem::path page = folder.path() / (std::string(party) + ".html");
    const std::filesystem::path image = folder.path() / (std::string(party) + ".png");
    const std::filesystem::path pdf = folder.path() / (std::string(party) + ".pdf");
    ASSERT_EQ(DemoRun(folder, party, "html", {"--output", page.string()}).exit_status, 0);
    ASSERT_TRUE(RunChromium(page, "--screenshot=" + image.string())) << party;
    ASSERT_TRUE(RunChromium(page, "--print-to-pdf=" + pdf.string())) << party;
    EXPECT_THAT(FileText(image), ::testing::StartsWith("\x89PNG")) << party;
    EXPECT_EQ(PdfPages(FileText(pdf)), pages) << party;
  }
}

class MonthEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    company_.Party(12, "Sharma Builders").Party(13, "Verma & Sons").Party(14, "Kapoor");
    company_.Item(101, "Plates").Rate(12, 101, 2).Rate(13, 101, 1).Rate(14, 101, 3);
    company_.Issue("05-04-2021", "C1", 101, 12, 10).Issue("06-04-2021", "C2", 101, 13, 4);
    company_.Issue("07-04-2021", "C3", 101, 14, 5);
    // Kapoor was billed on the rent date already: its run is refused.
    company_.RentVoucher(900, "01-05-2021", 14, {{101, "5", "C3", "07-04-2021"}});
  }

  ProgramRun Run(const std::string& party, const std::string& rent_date) {
    return RunProgram(RNT_CLI_PATH, {"run", "--company", company_.path().string(), "--party", party,
                                     "--rent-date", rent_date, "--user", "anita", "--settle-ms",
                                     "0", "--format", "json"});
  }

  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
};

TEST_F(MonthEnd, APostedVoucherIsWhereTheNextMonthContinues) {
  ASSERT_EQ(Run("Sharma Builders", "01-05-2021").exit_status, 0);
  std::vector<std::string> post = {"post",       "--company",       company_.path().string(),
                                   "--party",    "Sharma Builders", "--rent-date",
                                   "01-05-2021", "--user",          "anita"};
  ProgramRun posted = RunProgram(RNT_CLI_PATH, post);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_EQ(RunProgram(RNT_CLI_PATH, post).exit_status, 3);  // posted once only

  ProgramRun june = Run("Sharma Builders", "01-06-2021");
  ASSERT_EQ(june.exit_status, 0) << june.err;
  nlohmann::json lines = nlohmann::json::parse(june.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["Dte1"], "01-05-2021");
  EXPECT_EQ(lines[0]["D3"], 10.0);
  EXPECT_EQ(Run("Sharma Builders", "01-05-2021").exit_status, 3);
}

TEST_F(MonthEnd, EveryPartyIsBilledAndARefusalDoesNotStopTheOthers) {
  TempFolder out;
  ProgramRun batch =
      RunProgram(RNT_CLI_PATH, {"run", "--company", company_.path().string(), "--all-parties",
                                "--rent-date", "01-05-2021", "--settle-ms", "0", "--format", "json",
                                "--output-dir", out.path().string()});
  EXPECT_EQ(batch.exit_status, 0) << batch.err;
  EXPECT_THAT(batch.err, HasSubstr("parties billed: 2, refused: 1, failed: 0"));
  EXPECT_THAT(batch.err, HasSubstr("Kapoor"));
  EXPECT_TRUE(std::filesystem::exists(out.path() / "Sharma_Builders.json"));
  EXPECT_TRUE(std::filesystem::exists(out.path() / "Verma___Sons.json"));
  EXPECT_EQ(batch.out, "");  // off a terminal nothing but the results

  // To standard output, one document of every party's lines with their names.
  for (const char* format : {"json", "csv"}) {
    ProgramRun all = RunProgram(
        RNT_CLI_PATH, {"run", "--company", company_.path().string(), "--all-parties", "--rent-date",
                       "01-05-2021", "--settle-ms", "0", "--format", format});
    ASSERT_EQ(all.exit_status, 0) << all.err;
    EXPECT_THAT(all.out, Not(HasSubstr("==")));
    std::set<std::string> parties;
    if (std::string_view(format) == "json") {
      for (const auto& line : nlohmann::json::parse(all.out)) parties.insert(line["Party"]);
    } else {
      std::istringstream lines(all.out);
      std::string line;
      std::getline(lines, line);
      EXPECT_THAT(line, ::testing::EndsWith(",ChallanNo,ChallanDate,ItemName,Party"));
      while (std::getline(lines, line)) parties.insert(line.substr(line.rfind(',') + 1));
    }
    EXPECT_EQ(parties, (std::set<std::string>{"Sharma Builders", "Verma & Sons"})) << format;
  }
}

}  // namespace
}  // namespace rnt::testing
