// The month-end as a clerk makes it: the month or the last day billed named
// as such, every party posted in one command, and the material at each site,
// whose quantities are the balances that the bills end on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <tuple>

#include "rnt/value_text.h"
#include "scenarios/history.h"
#include "scenarios/scenario.h"
#include "support/pg_server.h"
#include "support/program_run.h"
#include "support/rent_run.h"
#include "support/temp_folder.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "month_end";

// Per party and item code, a quantity.
using Held = std::map<std::pair<std::string, double>, double>;

// What each item's last rent line leaves with its party (D4), from one JSON
// document of every party's lines; items left with nothing are not listed. A
// party refused (billed up to the day already) leaves the batch's exit
// status at 3 and its lines out.
Held BalancesBilled(const ProgramRun& run) {
  EXPECT_TRUE(run.exit_status == 0 || run.exit_status == 3) << run.err;
  Held held;
  for (const auto& line : nlohmann::json::parse(run.exit_status != 1 ? run.out : "[]")) {
    if (line["RecType"] != 1.0 || !line["D4"].is_number()) continue;
    held[{line["Party"], line["Code1"].get<double>()}] = line["D4"].get<double>();
  }
  std::erase_if(held, [](const auto& entry) { return entry.second == 0; });
  return held;
}

// The quantities of `at-site --format json`, and a check that its totals
// add them up.
Held AtSite(const ProgramRun& run) {
  EXPECT_EQ(run.exit_status, 0) << run.err;
  Held held;
  std::map<double, double> totals;
  const auto list = nlohmann::json::parse(run.exit_status == 0 ? run.out : "{}");
  for (const auto& party : list.value("Parties", nlohmann::json::array())) {
    for (const auto& item : party["Items"]) {
      held[{party["Party"], item["Code1"].get<double>()}] = item["Qty"].get<double>();
      totals[item["Code1"].get<double>()] += item["Qty"].get<double>();
      double on_challans = 0;
      for (const auto& challan : item["Challans"]) on_challans += challan["Qty"].get<double>();
      EXPECT_LE(on_challans, item["Qty"].get<double>()) << item;
    }
  }
  for (const auto& total : list.value("Totals", nlohmann::json::array())) {
    EXPECT_EQ(totals[total["Code1"].get<double>()], total["Qty"].get<double>()) << total;
  }
  return held;
}

class MonthEnd : public CompanyOnStorage {
 protected:
  // Copies the company (and its year before) to the server when it is kept there.
  void Store(const CompanyYear& current, const CompanyYear* previous = nullptr) {
    current_ = current.path();
    if (previous) previous_ = previous->path();
    if (!server_) return;
    const std::vector<std::string> where = server_->Arguments();
    std::vector<std::string> copy = {"copy-company", "--company",    current_.string(), "--server",
                                     where[1],       "--server-txt", where[5]};
    if (previous) copy.insert(copy.end(), {"--previous-year", previous_->string()});
    ProgramRun copied = Rnt(copy);
    ASSERT_EQ(copied.exit_status, 0) << copied.err;
  }

  // The arguments followed by those that name the company where it is kept.
  std::vector<std::string> On(std::vector<std::string> arguments) const {
    std::vector<std::string> company =
        server_ ? server_->Arguments() : std::vector<std::string>{"--company", current_.string()};
    if (!server_ && previous_)
      company.insert(company.end(), {"--previous-year", previous_->string()});
    // A company of one year: nothing before it to leave out.
    if (!previous_ && (arguments[0] == "run" || arguments[0] == "post"))
      company.push_back("--first-year");
    arguments.insert(arguments.end(), company.begin(), company.end());
    return arguments;
  }

  // What is at the sites at the end of `day`, and what every party's bill to
  // that day leaves with it, as (at site, billed).
  std::pair<Held, Held> SitesAndBills(const std::string& day) const {
    return {AtSite(Rnt(On({"at-site", "--date", day, "--format", "json"}))),
            BalancesBilled(
                Rnt(On({"run", "--all-parties", "--to", day, "--format", "json", "--user", "m"})))};
  }

  std::filesystem::path current_;
  std::optional<std::filesystem::path> previous_;
};

INSTANTIATE_TEST_SUITE_P(Stored, MonthEnd, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);

// April billed three ways alike, what is at the sites on its last day, then
// every party posted at once: Kapoor, billed beyond April already, is refused
// without stopping the others, Idle Traders have nothing to bill, and posting
// again posts nothing.
TEST_P(MonthEnd, AMonthIsBilledAndPostedForEveryPartyInOneCommand) {
  CompanyYear company{Date::FromYmd(2021, 4, 1)};
  company.Party(12, "Sharma Builders").Party(13, "Verma & Sons").Party(14, "Kapoor");
  company.Party(15, "Idle Traders");
  company.Item(101, "Plates").Item(102, "Props");
  company.Rate(12, 101, 2).Rate(13, 101, 1).Rate(14, 101, 3).Rate(12, 102, 1);
  company.Issue("05-04-2021", "C1", 101, 12, 10).Issue("06-04-2021", "C2", 101, 13, 4);
  company.Issue("07-04-2021", "C3", 101, 14, 5).Issue("12-04-2021", "C4", 101, 12, 6);
  company.Issue("12-04-2021", "C4", 102, 12, 3).Return("20-04-2021", "R1", 101, 12, 8);
  company.RentVoucher(900, "01-05-2021", 14, {{101, "5", "C3", "07-04-2021"}});
  // Idle Traders returned all and were billed for it: nothing to bill in April.
  company.Issue("02-04-2021", "C0", 101, 15, 2).Return("03-04-2021", "R0", 101, 15, 2);
  company.RentVoucher(901, "10-04-2021", 15, {});
  Store(company);

  const auto sharma = [&](std::vector<std::string> days) {
    days.insert(days.begin(), {"run", "--party", "Sharma Builders", "--format", "json"});
    return Rnt(On(days)).out;
  };
  const std::string by_rent_date = sharma({"--rent-date", "01-05-2021"});
  EXPECT_EQ(sharma({"--month", "04-2021"}), by_rent_date);
  EXPECT_EQ(sharma({"--to", "30-04-2021"}), by_rent_date);
  EXPECT_THAT(Rnt(On({"run", "--party", "Sharma Builders", "--month", "04-2021"})).out,
              HasSubstr("Period:     01-04-2021 to 30-04-2021\n"));
  // The month as a spreadsheet: one header for every party's rows.
  const std::string sheet =
      Rnt(On({"run", "--all-parties", "--month", "04-2021", "--format", "sheet"})).out;
  EXPECT_EQ(sheet.rfind("\xEF\xBB\xBFParty,Item,Challan,From,To,Days,Held,Rate,Qty-days,Amount", 0),
            0u);
  EXPECT_EQ(sheet.find("Party,Item", 10), std::string::npos);
  EXPECT_THAT(sheet, HasSubstr("Sharma Builders,Grand total"));

  // Kapoor's bill to the day is refused: its voucher carries the 5 plates.
  auto [at_site, billed] = SitesAndBills("30-04-2021");
  EXPECT_EQ(at_site.extract({"Kapoor", 101}).mapped(), 5);
  EXPECT_EQ(at_site, billed);
  ExpectFileHolds(kData / "at_site.txt", Rnt(On({"at-site", "--date", "30-04-2021"})).out);
  ProgramRun no_year = Rnt(On({"at-site", "--date", "01-01-2030"}));
  EXPECT_EQ(no_year.exit_status, 2);
  EXPECT_THAT(no_year.err, HasSubstr("rnt0417: --date: 01-01-2030 is outside the year of "));
  ProgramRun no_month = Rnt(On({"run", "--party", "Kapoor", "--month", "07-2030"}));
  EXPECT_EQ(no_month.exit_status, 2);
  EXPECT_THAT(no_month.err, HasSubstr("rnt0417: --month 07-2030 (rent date 01-08-2030): "));

  TempFolder statements;
  const std::vector<std::string> post = On(
      {"post", "--all-parties", "--month", "04-2021", "--output-dir", statements.path().string()});
  ProgramRun posted = Rnt(post);
  EXPECT_EQ(posted.exit_status, 3);
  ExpectFileHolds(kData / "post_all.err.txt", posted.err);
  EXPECT_THAT(FileText(statements.path() / "Verma___Sons.txt"),
              HasSubstr("Statement:  rent voucher 1010 of 30-04-2021"));
  EXPECT_FALSE(std::filesystem::exists(statements.path() / "Kapoor.txt"));
  ProgramRun again = Rnt(post);
  EXPECT_EQ(again.exit_status, 3);
  EXPECT_THAT(again.err, HasSubstr("parties posted: 0, nothing to bill: 1, refused: 3, failed: 0"));
  // May goes on from the vouchers.
  EXPECT_THAT(Rnt(On({"run", "--party", "Verma & Sons", "--month", "05-2021"})).out,
              HasSubstr("continued from rent voucher 1010 of 30-04-2021"));
}

// Generated histories over a year end: at any day, what is at the party's
// site is what its bill to that day leaves with it, item by item; without the
// previous year's file the new year's opening entries give the same balances.
TEST_P(MonthEnd, AtSiteHoldsTheBalancesThatTheBillsEndOn) {
  for (uint32_t seed : {3u, 17u, 29u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const History history = GenerateHistory(seed);
    CaseCompany company = CaseOf(history);
    company.day_rule = "both days";
    CompanyYear previous{Date::FromYmd(2020, 4, 1)}, current{history.year_start};
    FillCompany(company, current, &previous);
    if (server_) {
      const PgServer server = server_->server();
      server_.emplace(server);  // a company of its own
    }
    Store(current, &previous);
    std::map<std::string, Held> at_sites;
    for (const char* day : {"31-03-2021", "15-05-2021", "30-06-2021"}) {
      const auto [at_site, billed] = SitesAndBills(day);
      EXPECT_EQ(at_site, billed) << day;
      EXPECT_FALSE(at_site.empty()) << day;
      at_sites[day] = at_site;
    }
    previous_.reset();
    if (server_) continue;
    // Without the year before, its balances come from the opening entries.
    for (const char* day : {"15-05-2021", "30-06-2021"}) {
      EXPECT_EQ(AtSite(Rnt(On({"at-site", "--date", day, "--format", "json"}))), at_sites[day])
          << day;
    }
  }
}

// The demo company's statements end on the quantities at its sites.
TEST(MonthEndDemo, AtSiteHoldsTheDemoStatementsBalances) {
  TempFolder folder;
  const std::string dir = (folder.path() / "demo").string();
  ASSERT_EQ(Rnt({"demo", "--dir", dir}).exit_status, 0);
  for (const char* day : {"31-03-2024", "30-06-2024", "31-07-2024"}) {
    const Held at_site =
        AtSite(Rnt({"at-site", "--company", dir, "--date", day, "--format", "json"}));
    EXPECT_EQ(at_site, BalancesBilled(Rnt({"run", "--all-parties", "--company", dir, "--to", day,
                                           "--format", "json"})))
        << day;
    EXPECT_FALSE(at_site.empty()) << day;
  }
}

// The days billed are named once, and as dates or a month; a wrong one is one
// line and exit 2, before any file is opened.
TEST(MonthEndCommandLine, TheDaysBilledAreNamedOnceAndRight) {
  const std::string none =
      "name the days to bill: --month MM-YYYY, --to DD-MM-YYYY (the last day billed) or "
      "--rent-date DD-MM-YYYY (the day after it)";
  const std::string twice =
      "--month, --to and --rent-date each name the days to bill: give only one of them";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"run", "--party", "P"}, none},
      {{"post", "--all-parties"}, none},
      {{"run", "--party", "P", "--month", "04-2021", "--to", "30-04-2021"}, twice},
      {{"post", "--party", "P", "--rent-date", "01-05-2021", "--month", "04-2021"}, twice},
      {{"run", "--party", "P", "--month", "13-2021"},
       "--month: not a month: '13-2021' (expected MM-YYYY, as 07-2024)"},
      {{"run", "--party", "P", "--month", "4-21"},
       "--month: not a month: '4-21' (expected MM-YYYY, as 07-2024)"},
      {{"run", "--party", "P", "--to", "31-04-2021"},
       "--to: not a date: '31-04-2021' (expected DD-MM-YYYY)"},
      {{"post", "--party", "P", "--all-parties", "--month", "04-2021"},
       "--party and --all-parties: name one party or all, not both"},
      {{"at-site", "--date", "32-01-2021"},
       "--date: not a date: '32-01-2021' (expected DD-MM-YYYY)"},
  };
  for (auto [arguments, reason] : cases) {
    arguments.insert(arguments.end(), {"--company", "/nonexistent/company.db"});
    ProgramRun run = Rnt(arguments);
    EXPECT_EQ(std::tuple(run.exit_status, run.out, run.err),
              std::tuple(2, std::string(), "rnt0417: " + reason + "\n"))
        << arguments[0] << " " << arguments[3];
  }
}

}  // namespace
}  // namespace rnt::testing
