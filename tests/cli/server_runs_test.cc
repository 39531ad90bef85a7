// rnt0417 on a company kept on the database server: copied there from its
// files, run by several users at once, and the ways a server can fail a run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "db/recordset.h"
#include "support/pg_server.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;

class ServerRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<PgServer> server = TestServer();
    if (!server) GTEST_SKIP() << "no test database server";
    server_ = *server;
    code_ = "s" + std::to_string(getpid());
    server_txt_ = folder_.path() / "Server.Txt";
    std::ofstream(server_txt_) << Login(server_.password) << "\r\n";
  }
  void TearDown() override {
    for (const char* year : {"_db12021", "_db12020"}) {
      try {
        DropCatalogue(server_, code_ + year);
      } catch (const std::exception&) {
        // never made
      }
    }
  }

  // A line of Server.Txt for the test server.
  std::string Login(const std::string& password) {
    return "x;" + server_.host + ":" + std::to_string(server_.port) + ";" + server_.user + ";" +
           password;
  }

  ProgramRun Copy() {
    return RunProgram(RNT_CLI_PATH, {"copy-company", "--company", company_.path().string(),
                                     "--server", code_, "--server-txt", server_txt_.string()});
  }

  std::vector<std::string> ServerRun(const std::string& user, const std::string& party,
                                     const std::string& code) {
    std::vector<std::string> arguments{"run", "--server", code, "--year-start", "01-04-2021"};
    arguments.insert(arguments.end(),
                     {"--party", party, "--rent-date", "01-05-2021", "--user", user, "--settle-ms",
                      "0", "--format", "json", "--server-txt", server_txt_.string()});
    return arguments;
  }

  PgServer server_;
  std::string code_;
  TempFolder folder_;
  std::filesystem::path server_txt_;
  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
};

TEST_F(ServerRuns, ACopiedCompanyGivesTheLinesOfItsFilesAndIsNeverCopiedTwice) {
  FillTwoPartyMonth(company_, 5);
  company_.file().Execute("Insert Into CompanyInfo values ('Rao Scaffolding', 'Pune')");
  ProgramRun copy = Copy();
  ASSERT_EQ(copy.exit_status, 0) << copy.err;
  EXPECT_THAT(copy.out, HasSubstr(code_ + "_db12021"));
  ProgramRun on_file =
      RunProgram(RNT_CLI_PATH, {"run", "--company", company_.path().string(), "--party",
                                "Sharma Builders", "--rent-date", "01-05-2021", "--user", "anita",
                                "--settle-ms", "0", "--format", "json"});
  ProgramRun on_server = RunProgram(RNT_CLI_PATH, ServerRun("anita", "Sharma Builders", code_));
  ASSERT_EQ(on_server.exit_status, 0) << on_server.err;
  EXPECT_EQ(nlohmann::json::parse(on_server.out), nlohmann::json::parse(on_file.out));
  EXPECT_GT(nlohmann::json::parse(on_server.out).size(), 10u);
  std::vector<std::string> table = ServerRun("anita", "Sharma Builders", code_);
  *std::find(table.begin(), table.end(), "json") = "table";
  EXPECT_THAT(RunProgram(RNT_CLI_PATH, table).out,
              ::testing::StartsWith("Rao Scaffolding\nPune\n\nRent statement\n"));

  ProgramRun again = Copy();
  EXPECT_EQ(again.exit_status, 1);
  EXPECT_THAT(again.err, HasSubstr("already holds data"));
}

TEST_F(ServerRuns, APostedMonthIsContinuedAndNeverBilledTwice) {
  FillTwoPartyMonth(company_, 2);
  ASSERT_EQ(Copy().exit_status, 0);
  std::vector<std::string> post = ServerRun("anita", "Sharma Builders", code_);
  post[0] = "post";
  ProgramRun posted = RunProgram(RNT_CLI_PATH, post);
  ASSERT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_THAT(posted.err, HasSubstr("rent billed up to 30-04-2021"));
  EXPECT_FALSE(nlohmann::json::parse(posted.out).empty());  // the statement posted
  EXPECT_EQ(RunProgram(RNT_CLI_PATH, post).exit_status, 3);
  ProgramRun refused = RunProgram(RNT_CLI_PATH, ServerRun("anita", "Sharma Builders", code_));
  EXPECT_EQ(refused.exit_status, 3);
  EXPECT_THAT(refused.err, HasSubstr("already billed up to 30-04-2021 by rent voucher"));

  std::vector<std::string> june = ServerRun("anita", "Sharma Builders", code_);
  june[8] = "01-06-2021";
  ProgramRun next = RunProgram(RNT_CLI_PATH, june);
  ASSERT_EQ(next.exit_status, 0) << next.err;
  EXPECT_EQ(nlohmann::json::parse(next.out)[0]["Dte1"], "30-04-2021");
  june[8] = "02-04-2022";
  EXPECT_THAT(RunProgram(RNT_CLI_PATH, june).err, HasSubstr("01-04-2021 to 31-03-2022"));

  ProgramRun parties =
      RunProgram(RNT_CLI_PATH, {"parties", "--server", code_, "--year-start", "01-04-2021",
                                "--server-txt", server_txt_.string()});
  EXPECT_THAT(parties.out, HasSubstr("Sharma Builders  01-05-2021      30-04-2021"));
}

TEST_F(ServerRuns, EightUsersAtOnceEachGetTheLinesOfARunMadeAlone) {
  FillTwoPartyMonth(company_, 10);
  ASSERT_EQ(Copy().exit_status, 0);
  std::vector<std::vector<std::string>> runs;
  std::vector<std::string> alone;
  for (int user = 0; user < 8; ++user) {
    runs.push_back(ServerRun("user" + std::to_string(user),
                             user % 2 ? "Verma & Sons" : "Sharma Builders", code_));
    ProgramRun run = RunProgram(RNT_CLI_PATH, runs.back());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    alone.push_back(run.out);
  }
  std::vector<ProgramRun> together = RunProgramsTogether(RNT_CLI_PATH, runs);
  for (int user = 0; user < 8; ++user) {
    ASSERT_EQ(together[user].exit_status, 0) << together[user].err;
    EXPECT_EQ(nlohmann::json::parse(together[user].out), nlohmann::json::parse(alone[user]));
  }
}

// The server ends a run's connections half-way through it, after it has
// cleared the user's older lines and made some of its own: the run ends with
// the server's reason and leaves none of its lines; other users' runs go on.
TEST_F(ServerRuns, AConnectionDroppedHalfWayEndsTheRunAndLeavesNoneOfItsLines) {
  FillTwoPartyMonth(company_, 60);
  ASSERT_EQ(Copy().exit_status, 0);
  ProgramRun bystander = RunProgram(RNT_CLI_PATH, ServerRun("ravi", "Verma & Sons", code_));
  ASSERT_EQ(bystander.exit_status, 0) << bystander.err;
  const auto started = std::chrono::steady_clock::now();
  ProgramRun alone = RunProgram(RNT_CLI_PATH, ServerRun("anita", "Sharma Builders", code_));
  ASSERT_EQ(alone.exit_status, 0) << alone.err;
  auto half_way = (std::chrono::steady_clock::now() - started) / 2;

  db::Connection maintenance;
  maintenance.Open(ServerConnectionText(server_, "postgres"));
  ProgramRun run;
  std::string user;
  // A run quicker than the one alone has ended before half its time: once
  // more, a little earlier. Each try is a user of its own, with no lines of
  // an earlier run that a run cut off before it clears them would leave.
  for (int attempt = 0; attempt < 6 && run.exit_status != 1; ++attempt, half_way /= 2) {
    user = "meena" + std::to_string(attempt);
    BackgroundProgram victim(RNT_CLI_PATH, ServerRun(user, "Sharma Builders", code_));
    std::this_thread::sleep_for(half_way);
    while (victim.Running()) {
      db::Recordset ended;
      ended.Open("select pg_terminate_backend(pid) as ended from pg_stat_activity where datname='" +
                     code_ + "_db12021' and pid<>pg_backend_pid()",
                 maintenance);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run = victim.Wait();
  }
  EXPECT_EQ(run.exit_status, 1) << run.out;
  EXPECT_THAT(run.err, HasSubstr("connection"));
  db::Connection catalogue;
  catalogue.Open(ServerConnectionText(server_, code_ + "_db12021"));
  db::Recordset own;
  own.Open("select count(*) as n from atShut where Uname='" + user + "'", catalogue);
  EXPECT_EQ(own.Field("n"), Variant(int32_t{0}));

  ProgramRun after = RunProgram(RNT_CLI_PATH, ServerRun("ravi", "Verma & Sons", code_));
  EXPECT_EQ(nlohmann::json::parse(after.out), nlohmann::json::parse(bystander.out));
}

TEST_F(ServerRuns, ServerFailuresGiveAClearReasonWithoutHanging) {
  FillTwoPartyMonth(company_, 1);
  ASSERT_EQ(Copy().exit_status, 0);
  const std::string address = server_.host + ":" + std::to_string(server_.port);
  const struct {
    std::string login, code, reason;
  } kFailures[] = {
      {Login(server_.password), "nobody", "nobody_db12021"},
      {Login("wrong-password"), code_, "password"},
      {"x;" + address + ";rnt", code_, "field"},
      {"x;127.0.0.1:1;rnt;rnt-test", code_, "127.0.0.1:1"},  // nothing listens there
  };
  auto started = std::chrono::steady_clock::now();
  for (const auto& failure : kFailures) {
    std::ofstream(server_txt_) << failure.login << "\r\n";
    ProgramRun run = RunProgram(RNT_CLI_PATH, ServerRun("anita", "Sharma Builders", failure.code));
    EXPECT_EQ(run.exit_status, 1) << failure.login;
    EXPECT_THAT(run.err, HasSubstr(failure.reason)) << failure.login;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

}  // namespace
}  // namespace rnt::testing
