// rnt0417 on a company kept on its file or copied to the database server:
// posting a month and billing on from it, billing every party at month end,
// several users at once, and the ways a server can fail a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <deque>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

#include "cli/output_checks.h"
#include "rnt/value_text.h"
#include "support/company_file.h"
#include "support/pg_server.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

// What the month-end company's statements, lists and documents print.
const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "month_end";

class CompanyRuns : public CompanyOnStorage {
 protected:
  // Plates with three parties; Kapoor's rent voucher bills it up to the
  // month's end already.
  void FillMonthEnd() {
    company_.Party(12, "Sharma Builders").Party(13, "Verma & Sons").Party(14, "Kapoor");
    company_.Item(101, "Plates").Rate(12, 101, 2).Rate(13, 101, 1).Rate(14, 101, 3);
    company_.Issue("05-04-2021", "C1", 101, 12, 10).Issue("06-04-2021", "C2", 101, 13, 4);
    company_.Issue("07-04-2021", "C3", 101, 14, 5);
    company_.RentVoucher(900, "01-05-2021", 14, {{101, "5", "C3", "07-04-2021"}});
    company_.file().Execute("Insert Into CompanyInfo values ('Rao Scaffolding', 'Pune')");
  }

  // Copies the company to the server when it is kept there.
  void Store() {
    if (!server_) return;
    ProgramRun copy = server_->Copy(company_.path());
    ASSERT_EQ(copy.exit_status, 0) << copy.err;
    EXPECT_THAT(copy.out, HasSubstr(server_->Catalogue()));
  }

  // The arguments followed by those that name the company where it is kept
  // (on the server under `code`, when given), or its file. The company has
  // no earlier year, as its bills say.
  std::vector<std::string> On(std::vector<std::string> arguments, const std::string& code = "",
                              bool on_file = false) {
    if (arguments[0] == "run" || arguments[0] == "post") arguments.push_back("--first-year");
    const std::vector<std::string> company =
        server_ && !on_file ? server_->Arguments(code)
                            : std::vector<std::string>{"--company", company_.path().string()};
    arguments.insert(arguments.end(), company.begin(), company.end());
    return arguments;
  }
  std::vector<std::string> RunOf(const std::string& user, const std::string& party,
                                 const std::string& rent_date = "01-05-2021") {
    return {"run", "--party", party, "--rent-date", rent_date, "--user", user, "--format", "json"};
  }

  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
};

// Tests of a server's own faults.
using ServerRuns = CompanyRuns;

INSTANTIATE_TEST_SUITE_P(Stored, CompanyRuns, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);
INSTANTIATE_TEST_SUITE_P(Stored, ServerRuns, ::testing::Values(Storage::kServer), StorageName);

TEST_P(CompanyRuns, PostBillsThePartyItselfAndTheNextMonthGoesOnFromIt) {
  FillMonthEnd();
  Store();
  // anita's run for Sharma Builders.
  auto sharma = [&](const std::string& rent_date, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = RunOf("anita", "Sharma Builders", rent_date);
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Rnt(On(arguments));
  };
  // Kapoor's rent date is refused: the batch ends with 3.
  ASSERT_EQ(
      Rnt(On({"run", "--all-parties", "--rent-date", "01-05-2021", "--user", "anita"})).exit_status,
      3);
  // The last lines written are Verma's; Sharma's own run is what is posted.
  const std::vector<std::string> post =
      On({"post", "--party", "sharma builders", "--rent-date", "01-05-2021", "--user", "anita"});
  ProgramRun posted = Rnt(post);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_THAT(posted.err, HasSubstr("for Sharma Builders: rent billed up to 30-04-2021"));
  ExpectFileHolds(kData / "posted.txt", posted.out);
  // The same post, and a run to the rent date posted, are refused with the
  // reasons kept in month_end/refused.err.txt.
  ProgramRun again = Rnt(post), refused = sharma("01-05-2021");
  EXPECT_EQ(std::tuple(again.exit_status, refused.exit_status), std::tuple(3, 3));
  ExpectFileHolds(kData / "refused.err.txt", again.err + refused.err);
  // From an earlier search date the days are billed again, with a warning.
  ProgramRun april = sharma("01-05-2021", {"--search-date", "20-04-2021"});
  EXPECT_EQ(april.exit_status, 0);
  EXPECT_THAT(april.err, HasSubstr("warning: rent for Sharma Builders is billed up to 30-04-2021"));

  // June is billed on from the voucher's challan and day, as kept in
  // month_end/june.json: 26 days of April (05-04 to 30-04) and 31 of May make
  // 570 quantity-days, as one bill to June.
  ProgramRun june = sharma("01-06-2021");
  ASSERT_EQ(june.exit_status, 0) << june.err;
  ExpectFileHolds(kData / "june.json", june.out);
  double quantity_days = 0;
  for (const std::string& run : {june.out, april.out}) {
    for (const auto& line : nlohmann::json::parse(run)) quantity_days += line["Qty"].get<double>();
  }
  EXPECT_EQ(quantity_days, 570);
  EXPECT_THAT(sharma("02-04-2022").err, HasSubstr("01-04-2021 to 31-03-2022"));

  ExpectFileHolds(kData / "parties.txt", Rnt(On({"parties"})).out);
}

// The day rule where the company is kept: a file made before the rule was
// bills by the default and copies to the server; `settings` shows the rule,
// refuses a value that is none, sets it, and the statement names the rule
// that billed it. A file's rule goes with it to the server, and so does the
// way its amounts are grouped. A lost piece without a value is charged 0.00,
// with a warning.
TEST_P(CompanyRuns, TheDayRuleIsSetWhereTheCompanyIsKeptAndNamedOnItsStatements) {
  FillMonthEnd();
  company_.Return("20-04-2021", "R1", 101, 12, 2).Lost("20-04-2021", 101, 12, 2);
  company_.file().Execute("DROP TABLE at_ILC");
  company_.file().Execute("CREATE TABLE at_ILC (bs1 REAL, bs2 REAL)");
  company_.file().Execute("Insert Into at_ILC values (1, 2)");
  Store();
  EXPECT_THAT(Rnt(On({"settings"})).out,
              HasSubstr("bs2:          2\nDay rule:     both days (default)\n"));
  ProgramRun wrong = Rnt(On({"settings", "--day-rule", "weekly"}));
  EXPECT_EQ(std::tuple(wrong.exit_status, wrong.out, wrong.err),
            std::tuple(2, std::string(),
                       std::string("rnt0417: --day-rule: 'weekly' is not a day rule: choose 'both "
                                   "days', 'end of day' or 'as before'\n")));
  ProgramRun set = Rnt(On({"settings", "--day-rule", "end of day"}));
  ASSERT_EQ(set.exit_status, 0) << set.err;
  EXPECT_THAT(set.out, HasSubstr("day rule set to 'end of day'"));
  EXPECT_THAT(set.out, HasSubstr("Day rule:     end of day\n"));
  ProgramRun bill = Rnt(On({"run", "--party", "Sharma Builders", "--rent-date", "01-05-2021"}));
  ASSERT_EQ(bill.exit_status, 0) << bill.err;
  EXPECT_THAT(bill.out,
              HasSubstr("\nDays:       each day is charged for the pieces held at its end"));
  EXPECT_EQ(bill.err,
            "rnt0417: warning: Sharma Builders: 2 lost Plates (101) are charged 0.00: the item has "
            "no value (Value3) for the party or its rate master\n");
  // The amount grouping, set beside the rule, and the statement's amounts by it.
  EXPECT_THAT(set.out, HasSubstr("Amounts:      international (default)\n"));
  EXPECT_EQ(Rnt(On({"settings", "--amount-grouping", "lakhs"})).exit_status, 2);
  ProgramRun indian = Rnt(On({"settings", "--amount-grouping", "indian"}));
  EXPECT_THAT(indian.out, HasSubstr("Day rule:     end of day\nAmounts:      indian\n"));
  if (!server_) {
    company_.file().Execute("Update at_PartyPriceConfig set Value = 5000 where MasterCode1 = 12");
    EXPECT_THAT(Rnt(On({"run", "--party", "Sharma Builders", "--rent-date", "01-05-2021"})).out,
                AllOf(HasSubstr(" 7,50,000.00\n"), EndsWith(" 11,90,000.00\n")));
    return;
  }
  ASSERT_EQ(
      Rnt(On({"settings", "--day-rule", "as before", "--amount-grouping", "indian"}, "", true))
          .exit_status,
      0);
  DropCatalogue(server_->server(), server_->Catalogue());
  Store();
  EXPECT_THAT(Rnt(On({"settings"})).out,
              HasSubstr("Day rule:     as before\nAmounts:      indian\n"));
}

// Every party billed at month end, in seconds, a refusal not stopping the
// others but ending the batch with 3; on a terminal the spinner's mark and the progress bar share
// one line, cut to the terminal's width.
TEST_P(CompanyRuns, EveryPartyIsBilledInSecondsWithItsProgressOnOneLine) {
  FillMonthEnd();
  Store();
  TempFolder out;
  const auto started = std::chrono::steady_clock::now();
  ProgramRun batch = Rnt(On({"run", "--all-parties", "--rent-date", "01-05-2021", "--format",
                             "json", "--output-dir", out.path().string()}));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(server_ ? 8 : 4));
  EXPECT_EQ(batch.exit_status, 3) << batch.err;
  ExpectFileHolds(kData / "batch.err.txt", batch.err);
  for (const char* file : {"Sharma_Builders.json", "Verma___Sons.json"}) {
    EXPECT_TRUE(std::filesystem::exists(out.path() / file)) << file;
  }
  EXPECT_EQ(batch.out, "");  // off a terminal nothing but the results

  // To standard output, one document of every party's lines with their names.
  for (const std::string format : {"json", "csv"}) {
    ProgramRun all = Rnt(On({"run", "--all-parties", "--rent-date", "01-05-2021", "--user", "anita",
                             "--format", format}));
    EXPECT_EQ(all.exit_status, 3) << all.err;
    ExpectFileHolds(kData / ("all_parties." + format), all.out);
  }

  ProgramRun shown = RunOnTerminal(RNT_CLI_PATH,
                                   On({"run", "--all-parties", "--rent-date", "01-05-2021",
                                       "--output-dir", out.path().string(), "--settle-ms", "700"}),
                                   32);
  EXPECT_THAT(shown.out, HasSubstr("parties billed: 2"));
  // What the terminal was told to show, one drawing of the line at a time.
  std::string screen = shown.out;
  std::ranges::replace(screen, '\n', '\r');
  std::istringstream drawings(screen);
  bool shared = false;
  for (std::string drawn; std::getline(drawings, drawn, '\r');) {
    if (drawn.find(" parties") == std::string::npos || drawn.find("billed") != std::string::npos) {
      continue;
    }
    EXPECT_LE(drawn.size(), 31u + 3) << drawn;  // with the closing "\033[K"
    shared = shared || (std::string("|/-\\").find(drawn[0]) != std::string::npos &&
                        drawn.find("/3 parties") != std::string::npos);
  }
  EXPECT_TRUE(shared) << shown.out;
}

// Each of eight users running at once gets exactly the lines of a run made
// alone, round after round. On files each round starts on a company file that
// no run has opened (a new year's file on its first use: no work table, no
// indexes, no other process holding it), named as the file or as its folder.
TEST_P(CompanyRuns, EightUsersAtOnceEachGetTheLinesOfARunMadeAlone) {
  FillTwoPartyMonth(company_, 20);
  Store();
  std::vector<std::vector<std::string>> runs;
  std::vector<nlohmann::json> alone;
  for (int user = 0; user < 8; ++user) {
    runs.push_back(RunOf("user" + std::to_string(user),
                         user % 2 ? "Verma & Sons" : "Sharma Builders",
                         "0" + std::to_string(1 + user % 5) + "-05-2021"));
    ProgramRun run = Rnt(On(runs.back(), "", true));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    alone.push_back(nlohmann::json::parse(run.out));
    EXPECT_GT(alone.back().size(), 20u);
  }
  for (int round = 0; round < (server_ ? 2 : 5); ++round) {
    CompanyYear fresh{Date::FromYmd(2021, 4, 1)};
    FillTwoPartyMonth(fresh, 20);
    fresh.file().connection().Close();
    const std::filesystem::path named = round % 2 ? fresh.path().parent_path() : fresh.path();
    std::deque<BackgroundProgram> together;
    for (std::vector<std::string> run : runs) {
      if (server_) {
        run = On(run);
      } else {
        run.insert(run.end(), {"--company", named.string()});
      }
      together.emplace_back(RNT_CLI_PATH, run, ChildLimits{std::nullopt, false, 60});
    }
    for (int user = 0; user < 8; ++user) {
      ProgramRun run = together[user].Wait();
      ASSERT_EQ(run.exit_status, 0) << "round " << round << " user" << user << ": " << run.err;
      EXPECT_EQ(nlohmann::json::parse(run.out), alone[user])
          << "round " << round << " user" << user;
    }
  }
}

// The company's rows of a query in the host's dialect, where it is kept.
std::vector<std::string> StoredRows(const std::optional<ServerCompany>& server,
                                    const CompanyYear& company, std::string_view sql,
                                    const std::vector<std::string_view>& columns) {
  db::Connection connection;
  connection.Open(server ? ServerConnectionText(server->server(), server->Catalogue())
                         : JetConnectionText(company.path()));
  return RowTexts(connection, sql, columns);
}

// One clerk in two windows: a post for Sharma and a run for Verma started
// together by the same user, round after round. The second command waits for
// the first and says so; each voucher carries Sharma's own 10 plates, never
// Verma's 4. A command that would wait longer than --wait stops with exit 1,
// having done nothing; another user is not held up.
TEST_P(CompanyRuns, TwoCommandsOfOneUserWaitForEachOtherAndAPostPostsItsOwnRun) {
  FillMonthEnd();
  Store();
  int waited = 0;
  for (int day = 10; day < 16; ++day) {
    const std::string rent_date = std::to_string(day) + "-04-2021";
    BackgroundProgram post(RNT_CLI_PATH, On({"post", "--party", "Sharma Builders", "--rent-date",
                                             rent_date, "--user", "anita", "--settle-ms", "200"}));
    BackgroundProgram run(RNT_CLI_PATH,
                          On({"run", "--party", "Verma & Sons", "--rent-date", rent_date, "--user",
                              "anita", "--settle-ms", "200", "--format", "json"}));
    ProgramRun posted = post.Wait(), made = run.Wait();
    ASSERT_EQ(posted.exit_status, 0) << posted.err;
    ASSERT_EQ(made.exit_status, 0) << made.err;
    for (const auto& line : nlohmann::json::parse(made.out)) EXPECT_EQ(line["D4"], 4) << line;
    waited += (posted.err + made.err).find("rnt0417: waiting for another command of user anita") !=
              std::string::npos;
  }
  EXPECT_GT(waited, 0);
  EXPECT_EQ(StoredRows(server_, company_,
                       "select Value1 from Tran2 where VchCode in (select VchCode from Tran1 "
                       "where VchType=9 and MasterCode1=12)",
                       {"Value1"}),
            std::vector<std::string>(6, "10"));

  BackgroundProgram holder(
      RNT_CLI_PATH, On({"run", "--party", "Verma & Sons", "--rent-date", "01-05-2021", "--user",
                        "anita", "--settle-ms", "4000"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ProgramRun other = Rnt(On(RunOf("ravi", "Verma & Sons")));
  EXPECT_EQ(other.exit_status, 0) << other.err;
  EXPECT_EQ(other.err, "");
  ProgramRun stopped = Rnt(On({"post", "--party", "Sharma Builders", "--rent-date", "01-05-2021",
                               "--user", "anita", "--wait", "1"}));
  EXPECT_EQ(stopped.exit_status, 1);
  EXPECT_THAT(stopped.err, HasSubstr("rnt0417: waiting for another command of user anita on "));
  EXPECT_THAT(stopped.err,
              HasSubstr(" was still running after a wait of 1 seconds; nothing was done\n"));
  EXPECT_EQ(holder.Wait().exit_status, 0);
  EXPECT_EQ(StoredRows(server_, company_, "select count(*) as n from Tran1 where VchType=9", {"n"}),
            std::vector<std::string>{"7"});
}

// A post checks its --output before posting (a statement never overwrites
// the company's file); a batch gives two parties whose
// names differ only in signs files of their own and counts what it wrote.
TEST_P(CompanyRuns, APostAndABatchAreWhatTheySay) {
  FillMonthEnd();
  company_.Party(15, "Verma + Sons").Rate(15, 101, 1).Issue("08-04-2021", "C4", 101, 15, 2);
  Store();
  TempFolder out;
  const std::string missing = (out.path() / "no such folder" / "sharma.txt").string();
  ProgramRun refused = Rnt(
      On({"post", "--party", "Sharma Builders", "--rent-date", "01-05-2021", "--output", missing}));
  EXPECT_TRUE(EndedWith(refused, 2, "--output: " + missing + ": no such folder")) << refused.err;
  if (!server_) {
    // Nor over the company's own file or its log.
    for (const std::string side : {"", "-wal"}) {
      ProgramRun over = Rnt(On({"run", "--party", "Sharma Builders", "--rent-date", "01-05-2021",
                                "--output", company_.path().string() + side}));
      EXPECT_TRUE(EndedWith(over, 2, "the statement would overwrite it")) << over.err;
    }
  }
  ProgramRun posted = Rnt(On({"post", "--party", "Sharma Builders", "--rent-date", "01-05-2021",
                              "--output", (out.path() / "sharma.txt").string()}));
  EXPECT_EQ(posted.exit_status, 0) << posted.err;  // the first one posted nothing

  ProgramRun batch = Rnt(On({"run", "--all-parties", "--rent-date", "01-05-2021", "--format",
                             "html", "--output-dir", out.path().string()}));
  EXPECT_EQ(batch.exit_status, 3) << batch.err;  // Sharma and Kapoor are billed already
  EXPECT_THAT(batch.err, HasSubstr("parties billed: 2, refused: 2, failed: 0"));
  for (const char* file : {"Verma___Sons.html", "Verma___Sons-2.html"}) {
    EXPECT_THAT(FileText(out.path() / file), HasSubstr("Verma ")) << file;
  }
  EXPECT_NE(FileText(out.path() / "Verma___Sons.html"),
            FileText(out.path() / "Verma___Sons-2.html"));
}

// Days that have not happened yet are never posted; a run that bills them
// warns. Tomorrow's rent date bills up to today, and is posted.
TEST(FutureDays, AreNotPostedAndARunWarnsOfThem) {
  const Date today = cli::Today();
  CompanyYear company{today.AddDays(-100)};
  company.Party(12, "Sharma Builders").Item(101, "Plates").Rate(12, 101, 2);
  company.Issue(ShortDateText(today.AddDays(-50)), "C1", 101, 12, 10);
  const std::vector<std::string> at{"--company", company.path().string(), "--first-year",
                                    "--party",   "Sharma Builders",       "--rent-date"};
  auto command = [&](const char* name, Date rent_date) {
    std::vector<std::string> arguments{name};
    arguments.insert(arguments.end(), at.begin(), at.end());
    arguments.push_back(ShortDateText(rent_date));
    return Rnt(arguments);
  };
  const std::string future = "the rent date " + ShortDateText(today.AddDays(2)) +
                             " bills days up to " + ShortDateText(today.AddDays(1)) +
                             ", after today (" + ShortDateText(today) +
                             "): they have not happened yet";
  EXPECT_TRUE(EndedWith(command("post", today.AddDays(2)), 3,
                        "rnt0417: not posted: " + future + "; post once they have passed"));
  ProgramRun run = command("run", today.AddDays(2));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "rnt0417: warning: " + future + "\n");
  ProgramRun posted = command("post", today.AddDays(1));
  EXPECT_EQ(posted.exit_status, 0) << posted.err;
}

// The server ends a run's connections half-way through it: the run ends with
// the server's reason and leaves none of its lines, or all of them when they
// were saved before; other users' runs go on.
TEST_P(ServerRuns, AConnectionDroppedHalfWayEndsTheRunAndLeavesNoneOfItsLines) {
  FillTwoPartyMonth(company_, 60);
  Store();
  ProgramRun bystander = Rnt(On(RunOf("ravi", "Verma & Sons")));
  ASSERT_EQ(bystander.exit_status, 0) << bystander.err;
  const auto started = std::chrono::steady_clock::now();
  ProgramRun alone = Rnt(On(RunOf("anita", "Sharma Builders")));
  ASSERT_EQ(alone.exit_status, 0);
  auto half_way = (std::chrono::steady_clock::now() - started) / 2;

  db::Connection maintenance;
  maintenance.Open(ServerConnectionText(server_->server(), "postgres"));
  ProgramRun run;
  std::string user;
  // A run quicker than the one alone has ended before half its time: once
  // more, a little earlier. Each try is a user of its own, with no lines of
  // an earlier run that a run cut off before it clears them would leave.
  for (int attempt = 0; attempt < 6 && run.exit_status != 1; ++attempt, half_way /= 2) {
    user = "meena" + std::to_string(attempt);
    BackgroundProgram victim(RNT_CLI_PATH, On(RunOf(user, "Sharma Builders")));
    std::this_thread::sleep_for(half_way);
    while (victim.Running()) {
      RowTexts(maintenance,
               "select pg_terminate_backend(pid) as ended from pg_stat_activity " +
                   ("where datname='" + server_->Catalogue() + "' and pid<>pg_backend_pid()"),
               {});
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run = victim.Wait();
  }
  EXPECT_EQ(run.exit_status, 1) << run.out;
  EXPECT_THAT(run.err, HasSubstr("connection"));
  db::Connection catalogue;
  catalogue.Open(ServerConnectionText(server_->server(), server_->Catalogue()));
  // None of its lines, or every one when the connections went after the run
  // had saved them (reading the statement back failed): never some.
  const auto whole = std::to_string(nlohmann::json::parse(alone.out).size());
  EXPECT_THAT(
      RowTexts(catalogue, "select count(*) as n from atShut where Uname='" + user + "'", {"n"}),
      ::testing::AnyOf(ElementsAre("0"), ElementsAre(whole)));

  ProgramRun after = Rnt(On(RunOf("ravi", "Verma & Sons")));
  EXPECT_EQ(nlohmann::json::parse(after.out), nlohmann::json::parse(bystander.out));
}

TEST_P(ServerRuns, ServerFailuresGiveAClearReasonWithoutHanging) {
  FillTwoPartyMonth(company_, 1);
  Store();
  EXPECT_TRUE(EndedWith(server_->Copy(company_.path()), 1, "already holds data"));
  const std::string login = server_->Login(server_->server().password);
  const struct {
    std::string login, code, reason;
  } kFailures[] = {
      {login, "nobody", "nobody_db12021"},
      {server_->Login("wrong-password"), "", "password"},
      {login.substr(0, login.rfind(';')), "", "field"},
      {"x;127.0.0.1:1;rnt;rnt-test", "", "127.0.0.1:1"},  // nothing listens there
  };
  const auto started = std::chrono::steady_clock::now();
  for (const auto& failure : kFailures) {
    server_->WriteServerTxt(failure.login);
    ProgramRun run = Rnt(On(RunOf("anita", "Sharma Builders"), failure.code));
    EXPECT_EQ(run.exit_status, 1) << failure.login;
    EXPECT_THAT(run.err, HasSubstr(failure.reason)) << failure.login;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

}  // namespace
}  // namespace rnt::testing
