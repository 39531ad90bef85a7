// rnt0417 as a billing tool: the demo, posting a rent voucher, billing every
// party at month end, and the company's years found rather than typed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "rnt/value_text.h"
#include "scenarios/history.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

double SumOfAmounts(const nlohmann::json& lines) {
  double sum = 0;
  for (const auto& line : lines) {
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

// Quantity-days of each item's rent lines, by item code.
std::map<double, double> QuantityDays(const nlohmann::json& lines) {
  std::map<double, double> by_item;
  for (const auto& line : lines) {
    if (line["RecType"] == 1.0 && line["Qty"].is_number()) {
      by_item[line["Code1"].get<double>()] += line["Qty"].get<double>();
    }
  }
  return by_item;
}

// The last balance of each item.
std::map<double, double> Balances(const nlohmann::json& lines) {
  std::map<double, double> by_item;
  for (const auto& line : lines) {
    if (line["RecType"] == 1.0) by_item[line["Code1"].get<double>()] = line["D4"].get<double>();
  }
  return by_item;
}

// A bill to R1, posted, and the bill on to R2 charge each item that does not
// move between them the quantity-days of one bill to R2.
void ExpectQuietItemsBilledOnce(const nlohmann::json& whole, const nlohmann::json& first,
                                const nlohmann::json& second, const std::set<double>& moved,
                                const std::string& label) {
  std::map<double, double> split = QuantityDays(first);
  for (auto [item, quantity_days] : QuantityDays(second)) split[item] += quantity_days;
  for (auto [item, quantity_days] : QuantityDays(whole)) {
    if (moved.count(item)) continue;
    EXPECT_EQ(split[item], quantity_days) << label << ", item " << item;
  }
}

int LineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The demo company in a folder of its own, both year files in it.
class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramRun demo = RunProgram(RNT_CLI_PATH, {"demo", "--dir", Folder().string()});
    ASSERT_EQ(demo.exit_status, 0) << demo.err;
    demo_out_ = demo.out;
    demo_err_ = demo.err;
  }
  std::filesystem::path Folder() const { return folder_.path() / "demo"; }
  std::string Current() const { return (Folder() / "demo-2024-25.db").string(); }
  std::string Previous() const { return (Folder() / "demo-2023-24.db").string(); }

  ProgramRun Bill(const std::string& command, const std::string& party,
                  const std::string& rent_date, std::vector<std::string> company = {}) {
    if (company.empty()) company = {"--company", Folder().string()};
    std::vector<std::string> arguments{command, "--party", party, "--rent-date", rent_date};
    arguments.insert(arguments.end(), company.begin(), company.end());
    if (command == "run") arguments.insert(arguments.end(), {"--format", "json"});
    return RunProgram(RNT_CLI_PATH, arguments);
  }
  nlohmann::json Lines(const std::string& party, const std::string& rent_date,
                       std::vector<std::string> company = {}) {
    ProgramRun run = Bill("run", party, rent_date, std::move(company));
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_THAT(run.err, IsEmpty());
    return run.exit_status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json::array();
  }

  TempFolder folder_;
  std::string demo_out_, demo_err_;
};

TEST_F(Demo, PrintsTwoStatementsThatAddUpAndLostPiecesLeaveTheBalance) {
  EXPECT_THAT(demo_err_, IsEmpty());
  for (const char* party : {"Sharma Builders", "Kapoor Constructions"}) {
    double total = SumOfAmounts(Lines(party, "01-07-2024"));
    EXPECT_GT(total, 100) << party;
    EXPECT_THAT(demo_out_, HasSubstr(TwoDecimalText(total))) << party;
    // Beside the work table's columns, the item's name and the party's.
    const auto first = Lines(party, "01-07-2024").at(0);
    EXPECT_EQ(first["Party"], party);
    EXPECT_FALSE(first["ItemName"].get<std::string>().empty());
  }
  // Clamps returned, two of them lost (Sharma) and four (Metro): none is
  // left with the party to go on accruing rent after its value is billed.
  EXPECT_EQ(Balances(Lines("Sharma Builders", "01-07-2024"))[207], 0);
  EXPECT_EQ(Balances(Lines("Metro Infra Projects", "01-07-2024"))[207], 0);
  EXPECT_EQ(RunProgram(RNT_CLI_PATH, {"demo", "--dir", Folder().string()}).exit_status, 2);
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
    const nlohmann::json whole = Lines(bill.party, "01-07-2024");
    const nlohmann::json first = Lines(bill.party, bill.first_rent_date);
    ProgramRun posted = Bill("post", bill.party, bill.first_rent_date);
    ASSERT_EQ(posted.exit_status, 0) << posted.err;
    const nlohmann::json second = Lines(bill.party, "01-07-2024");

    std::set<double> moved;
    std::set<std::string> billed_challans;
    for (const auto& line : second) {
      if (!line["RNo"].is_string() || !bill.moving.count(line["RNo"])) continue;
      moved.insert(line["Code1"].get<double>());
      billed_challans.insert(line["RNo"].get<std::string>());
    }
    EXPECT_EQ(billed_challans, bill.moving) << bill.party;
    ExpectQuietItemsBilledOnce(whole, first, second, moved, bill.party);
    EXPECT_THAT(Bill("post", bill.party, bill.first_rent_date).err, HasSubstr("by rent voucher"));
  }
  ProgramRun parties = RunProgram(RNT_CLI_PATH, {"parties", "--company", Folder().string()});
  EXPECT_THAT(parties.out, HasSubstr("Sharma Builders       10-06-2024      09-06-2024    7002"));
}

TEST_F(Demo, FindsTheCompanysYearsAndRefusesYearsThatDoNotFit) {
  const nlohmann::json typed = Lines("Sharma Builders", "01-07-2024",
                                     {"--company", Current(), "--previous-year", Previous()});
  EXPECT_EQ(Lines("Sharma Builders", "01-07-2024"), typed);
  EXPECT_EQ(Lines("Sharma Builders", "01-07-2024", {"--company", Current()}), typed);
  EXPECT_EQ(Bill("run", "Sharma Builders", "01-04-2025", {"--company", Current()}).exit_status, 0);

  const struct {
    std::vector<std::string> company;
    std::string rent_date, reason;
  } kRefused[] = {
      {{"--company", Current(), "--previous-year", Current()}, "01-07-2024", "itself"},
      {{"--company", Previous(), "--previous-year", Current()},
       "01-03-2024",
       "holds the year 01-04-2024 to 31-03-2025, not the one before"},
      {{"--company", Current()}, "01-07-2030", "(01-04-2024 to 31-03-2025)"},
      {{"--company", Current()}, "31-03-2024", "its rent dates run from 01-04-2024 to 01-04-2025"},
      {{"--company", Folder().string()}, "01-07-2030", "hold the days from 01-04-2023"},
  };
  for (const auto& refused : kRefused) {
    ProgramRun run = Bill("run", "Sharma Builders", refused.rent_date, refused.company);
    EXPECT_EQ(run.exit_status, 2) << refused.reason;
    EXPECT_THAT(run.err, AllOf(HasSubstr(refused.reason), StartsWith("rnt0417: --")));
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
  }
  std::filesystem::copy_file(Current(), Folder() / "copy-of-2024-25.db");
  EXPECT_THAT(Bill("run", "Sharma Builders", "01-07-2024").err, HasSubstr("holds two files"));

  // Without the year before, the clamps issued then come back from nothing.
  TempFolder alone;
  std::filesystem::copy_file(Current(), alone.path() / "demo-2024-25.db");
  ProgramRun missing = Bill("run", "Sharma Builders", "01-07-2024",
                            {"--company", (alone.path() / "demo-2024-25.db").string()});
  EXPECT_EQ(missing.exit_status, 0);
  EXPECT_THAT(missing.err, HasSubstr("warning: Sharma Builders holds Right-angle clamp (207) down "
                                     "to -150"));
  EXPECT_EQ(Bill("post", "Sharma Builders", "01-07-2024",
                 {"--company", (alone.path() / "demo-2024-25.db").string()})
                .exit_status,
            3);
}

// The same on generated histories over a year's end, first billed to a day on
// which a challan moves.
TEST(GeneratedCompanies, APostedBillAndTheNextBillEveryDayOnce) {
  for (uint32_t seed : {3u, 11u, 29u, 47u, 83u}) {
    const History history = GenerateHistory(seed);
    const Date second_rent_date = history.last_day.AddDays(1);
    // The first rent date: a day of the new year with a challan on it, where
    // there is one.
    Date first_rent_date = history.year_start.AddDays(30);
    for (const HistoryEntry& entry : history.entries) {
      if (entry.day > history.year_start.AddDays(10) && entry.day < history.last_day) {
        first_rent_date = entry.day;
        break;
      }
    }
    auto bill = [&](CompanyYear& current, CompanyYear& previous, std::string command, Date day) {
      std::vector<std::string> arguments{command,
                                         "--company",
                                         current.path().string(),
                                         "--previous-year",
                                         previous.path().string(),
                                         "--party",
                                         "Sharma Builders",
                                         "--rent-date",
                                         FormatDate(day, "dd-mm-yyyy")};
      if (command == "run") arguments.insert(arguments.end(), {"--format", "json"});
      return RunProgram(RNT_CLI_PATH, arguments);
    };
    auto lines = [&](CompanyYear& current, CompanyYear& previous, Date day) {
      ProgramRun run = bill(current, previous, "run", day);
      EXPECT_EQ(run.exit_status, 0) << run.err;
      return nlohmann::json::parse(run.exit_status == 0 ? run.out : "[]");
    };
    CompanyYear once(history.year_start), once_before(history.year_start.AddDays(-365));
    CompanyYear split(history.year_start), split_before(history.year_start.AddDays(-365));
    Record(history, once_before, once);
    Record(history, split_before, split);
    const nlohmann::json whole = lines(once, once_before, second_rent_date);
    const nlohmann::json first = lines(split, split_before, first_rent_date);
    ASSERT_EQ(bill(split, split_before, "post", first_rent_date).exit_status, 0);
    const nlohmann::json second = lines(split, split_before, second_rent_date);

    // Each item that changes between the two bills is billed on from one of
    // its challans of that time.
    std::set<double> moved;
    const std::string label = "seed " + std::to_string(seed);
    for (const auto& [item, change] :
         history.NetChangesBetween(first_rent_date.AddDays(-1), history.last_day)) {
      std::set<std::string> challans;
      for (const HistoryEntry& entry : history.entries) {
        if (entry.item == item && entry.day >= first_rent_date) challans.insert(entry.challan);
      }
      if (challans.empty()) continue;
      moved.insert(item);
      EXPECT_TRUE(std::any_of(second.begin(), second.end(),
                              [&](const nlohmann::json& line) {
                                return line["Code1"] == item && line["RNo"].is_string() &&
                                       challans.count(line["RNo"]);
                              }))
          << label << ", item " << item;
    }
    ExpectQuietItemsBilledOnce(whole, first, second, moved, label);
  }
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
    // Kapoor is billed up to the rent date already: its run is refused.
    company_.RentVoucher(900, "01-05-2021", 14, {{101, "5", "C3", "07-04-2021"}});
  }

  // rnt0417 on the company; no pause, as by default.
  ProgramRun Rnt(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin() + 1, {"--company", company_.path().string()});
    return RunProgram(RNT_CLI_PATH, arguments);
  }
  ProgramRun Run(const std::string& party, const std::string& rent_date,
                 std::vector<std::string> more = {}) {
    std::vector<std::string> arguments{"run",      "--party", party,    "--rent-date", rent_date,
                                       "--format", "json",    "--user", "anita"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Rnt(arguments);
  }

  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
};

TEST_F(MonthEnd, PostBillsThePartyItselfAndTheNextMonthGoesOnFromIt) {
  ASSERT_EQ(
      Rnt({"run", "--all-parties", "--rent-date", "01-05-2021", "--user", "anita"}).exit_status, 0);
  // The last lines written are Verma's; Sharma's own run is what is posted.
  std::vector<std::string> post = {
      "post", "--party", "sharma builders", "--rent-date", "01-05-2021", "--user", "anita"};
  ProgramRun posted = Rnt(post);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_THAT(posted.err, HasSubstr("for Sharma Builders: rent billed up to 30-04-2021"));
  // The statement posted is Sharma's, numbered by its voucher.
  EXPECT_THAT(posted.out, AllOf(HasSubstr("Party:      Sharma Builders"),
                                HasSubstr("Statement:  rent voucher 1004 of 30-04-2021"),
                                Not(HasSubstr("Verma"))));
  const std::string billed =
      "rent for Sharma Builders is already billed up to 30-04-2021 by rent "
      "voucher 1004; choose a later rent date\n";
  EXPECT_EQ(Rnt(post).err, "rnt0417: not posted: " + billed);
  EXPECT_EQ(Rnt(post).exit_status, 3);

  ProgramRun refused = Run("Sharma Builders", "01-05-2021");
  EXPECT_EQ(refused.exit_status, 3);
  EXPECT_EQ(refused.err,
            "rnt0417: Invalid Data !! Rent are Allready Calculated On 30-Apr-2021 Please Select "
            "Another Date\nrnt0417: " +
                billed);
  // From an earlier search date the days are billed again, with a warning.
  ProgramRun again = Run("Sharma Builders", "01-05-2021", {"--search-date", "20-04-2021"});
  EXPECT_EQ(again.exit_status, 0);
  EXPECT_THAT(again.err, HasSubstr("warning: rent for Sharma Builders is billed up to 30-04-2021"));

  ProgramRun june = Run("Sharma Builders", "01-06-2021");
  ASSERT_EQ(june.exit_status, 0) << june.err;
  nlohmann::json lines = nlohmann::json::parse(june.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["Dte1"], "30-04-2021");
  EXPECT_EQ(lines[0]["D3"], 10.0);
  EXPECT_EQ(lines[0]["ChallanNo"], "C1");
  EXPECT_EQ(lines[0]["ChallanDate"], "05-04-2021");
  // 26 days of April (05-04 to 30-04) and 31 of May: 57, as one bill to June.
  ProgramRun april = Run("Sharma Builders", "01-05-2021", {"--search-date", "20-04-2021"});
  EXPECT_EQ(QuantityDays(nlohmann::json::parse(april.out))[101] + lines[0]["Qty"].get<double>(),
            570);

  ProgramRun parties = Rnt({"parties"});
  EXPECT_THAT(parties.out, AllOf(HasSubstr("Kapoor           02-05-2021      01-05-2021    900"),
                                 HasSubstr("Sharma Builders  01-05-2021      30-04-2021    1004"),
                                 HasSubstr("Verma & Sons     -")));
}

TEST_F(MonthEnd, EveryPartyIsBilledInSecondsAndARefusalDoesNotStopTheOthers) {
  TempFolder out;
  auto started = std::chrono::steady_clock::now();
  ProgramRun batch = Rnt({"run", "--all-parties", "--rent-date", "01-05-2021", "--format", "json",
                          "--output-dir", out.path().string()});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
  EXPECT_EQ(batch.exit_status, 0) << batch.err;
  EXPECT_THAT(batch.err, HasSubstr("parties billed: 2, refused: 1, failed: 0"));
  EXPECT_THAT(batch.err, HasSubstr("rnt0417: rent for Kapoor is already billed up to 01-05-2021"));
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

// On a terminal the spinner's mark and the progress bar share one line, cut
// to the terminal's width.
TEST_F(MonthEnd, TheProgressBarAndTheSpinnerShareOneLineThatFitsANarrowTerminal) {
  TempFolder out;
  ProgramRun batch =
      RunOnTerminal(RNT_CLI_PATH,
                    {"run", "--company", company_.path().string(), "--all-parties", "--rent-date",
                     "01-05-2021", "--output-dir", out.path().string(), "--settle-ms", "700"},
                    32);
  EXPECT_THAT(batch.out, HasSubstr("parties billed: 2"));
  // What the terminal was told to show, one drawing of the line at a time.
  bool shared = false;
  std::string drawn;
  for (char c : batch.out) {
    if (c != '\r' && c != '\n') {
      drawn += c;
      continue;
    }
    if (drawn.find(" parties") != std::string::npos && drawn.find("billed") == std::string::npos) {
      EXPECT_LE(drawn.size(), 31u + 3) << drawn;  // with the closing "\033[K"
      shared = shared || (std::string("|/-\\").find(drawn[0]) != std::string::npos &&
                          drawn.find("/3 parties") != std::string::npos);
    }
    drawn.clear();
  }
  EXPECT_TRUE(shared) << batch.out;
}

}  // namespace
}  // namespace rnt::testing
