// A soak of rnt0417: several users run at once on one company, on its file and
// on its server copy, with parties and rent dates drawn at random (seeded; the
// seed is printed, RNT_SOAK_SEED repeats it). Every run must print what a run
// alone gives, with its user's lines only; afterwards each user's lines in
// atShut must be those of its last run that was not refused, no line may
// belong to an unknown user, and the database must pass its own checks. The
// company has no work table yet and no process holds its file: the users'
// first runs open it and make the table at the same time. RNT_SOAK_USERS (4), RNT_SOAK_RUNS (200
// per user) and RNT_SOAK_SECONDS (60, 30 under the sanitizers, per storage) size it; when the time
// is spent every user stops after its current run, and what was made is still checked.
#include <gtest/gtest.h>
#include <signal.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "db/recordset.h"
#include "support/pg_server.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A run that takes this long has hung: the longest wait inside a run is a
// writer waiting eight seconds for another, or five for a server to answer.
constexpr unsigned kHungSeconds = 60;

// A positive number from the environment; a mistyped one stops the soak.
long EnvironmentNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (!text || !*text) return fallback;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1) throw std::invalid_argument(std::string(name) + ": " + text);
  return value;
}

// The parties and rent dates drawn; Gupta Traders' rent voucher on the first
// date refuses that date.
struct Combination {
  std::string party;
  std::string rent_date;
};
std::vector<Combination> Combinations() {
  std::vector<Combination> combinations;
  for (const char* party : {"Sharma Builders", "Verma & Sons", "Gupta Traders"}) {
    for (const char* rent_date : {"10-04-2021", "16-04-2021", "01-05-2021", "20-05-2021"}) {
      combinations.push_back({party, rent_date});
    }
  }
  return combinations;
}

// A small company of three parties: two billed from their challans, one
// continued from its rent voucher, with a damaged piece.
void FillSoakCompany(CompanyYear& company) {
  FillTwoPartyMonth(company, 4);
  company.Party(14, "Gupta Traders").Rate(14, 101, 3, 40).Rate(14, 102, 2.5, 60);
  company
      .RentVoucher(900, "10-04-2021", 14,
                   {{101, "10", "C0", "01-04-2021"}, {102, "4", "C1", "02-04-2021"}})
      .Issue("12-04-2021", "G1", 101, 14, 6)
      .Return("18-04-2021", "G2", 101, 14, 9)
      .Damaged("25-04-2021", 102, 14, 1, 25)
      .Issue("03-05-2021", "G3", 102, 14, 5);
}

// How a run of `user` ended and the statement it printed, the user's name in
// it made USER: a line of another user keeps its own.
using Outcome = std::pair<int, std::string>;

Outcome Observe(const ProgramRun& run, const std::string& user) {
  Outcome outcome{run.exit_status, run.out};
  const std::string named = "\"Uname\": \"" + user + "\"";
  for (size_t at; (at = outcome.second.find(named)) != std::string::npos;) {
    outcome.second.replace(at, named.size(), "\"Uname\": \"USER\"");
  }
  return outcome;
}

// A user's rows of atShut in the order written, each without the user's name.
std::vector<std::string> RowsOf(db::Connection& company, const std::string& user) {
  std::vector<std::string> rows;
  for (refhost::RentLine line : refhost::ReadRentLines(company, user)) {
    std::erase_if(line.columns, [](const auto& column) { return column.first == "Uname"; });
    rows.push_back(Describe(line));
  }
  return rows;
}

// The soak's company on its file, or copied to the test server by
// `rnt0417 copy-company` as a user copies one.
class SoakRuns : public ::testing::TestWithParam<Storage> {
 protected:
  void SetUp() override {
    FillSoakCompany(company_);
    FillSoakCompany(copy_);
    // The soak starts on a file that no process holds, as a new year's file
    // is first used.
    company_.file().connection().Close();
    if (GetParam() == Storage::kFile) return;
    std::optional<PgServer> server = TestServer();
    if (!server) GTEST_SKIP() << "no test database server";
    server_.emplace(*server);
    ProgramRun copy = server_->Copy(company_.path());
    ASSERT_EQ(copy.exit_status, 0) << copy.err;
  }

  // A run on the soak's company, or on the copy of its file.
  std::vector<std::string> Arguments(const Combination& combination, const std::string& user,
                                     bool on_copy = false) {
    std::vector<std::string> arguments{
        "run",    "--party", combination.party, "--rent-date", combination.rent_date,
        "--user", user,      "--format",        "json"};
    const std::vector<std::string> company =
        server_ && !on_copy
            ? server_->Arguments()
            : std::vector<std::string>{"--company", (on_copy ? copy_ : company_).path().string()};
    arguments.insert(arguments.end(), company.begin(), company.end());
    return arguments;
  }

  // A run made alone by a user of its own: it must finish or have its rent
  // date refused, and print that user's lines only.
  Outcome RunAlone(const Combination& combination, const std::string& user, bool on_copy = false) {
    ProgramRun run = Rnt(Arguments(combination, user, on_copy));
    EXPECT_TRUE(run.exit_status == 0 || run.exit_status == 3)
        << combination.party << " " << combination.rent_date << ": " << run.err;
    for (const auto& line : nlohmann::json::parse(run.exit_status == 0 ? run.out : "[]")) {
      EXPECT_EQ(line["Uname"], user);
    }
    return Observe(run, user);
  }

  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
  CompanyYear copy_{Date::FromYmd(2021, 4, 1)};  // where the runs alone are made first
  std::optional<ServerCompany> server_;
};

// What one user did in the soak.
struct UserSoak {
  int runs = 0;
  std::optional<size_t> last;  // the combination of its last run that was not refused
  std::vector<std::string> faults;
};

TEST_P(SoakRuns, UsersRunningAtOnceEachOnlyEverSeeTheirOwnLines) {
  const int user_count = static_cast<int>(EnvironmentNumber("RNT_SOAK_USERS", 4));
  const long run_count = EnvironmentNumber("RNT_SOAK_RUNS", 200);
  const std::chrono::seconds budget(
      EnvironmentNumber("RNT_SOAK_SECONDS", RNT_SOAK_DEFAULT_SECONDS));
  const auto seed = static_cast<uint32_t>(
      EnvironmentNumber("RNT_SOAK_SEED", std::random_device()() % 1000000000));
  std::cout << "[ soak     ] seed " << seed << " (RNT_SOAK_SEED repeats it)" << std::endl;

  // Each party and rent date made alone first, on the copy of the company
  // file: the statements every run must print.
  const std::vector<Combination> combinations = Combinations();
  std::vector<Outcome> expected;
  for (size_t i = 0; i < combinations.size(); ++i) {
    expected.push_back(RunAlone(combinations[i], "alone" + std::to_string(i), true));
    // A line of another user must show: no two statements may be alike.
    for (size_t j = 0; j < i; ++j) ASSERT_NE(expected[i], expected[j]) << i << " " << j;
  }
  ASSERT_EQ(std::ranges::count(expected, 3, &Outcome::first), 1)
      << "only Gupta Traders' first rent date is its rent voucher's date";

  std::vector<UserSoak> users(user_count);
  const Clock::time_point started = Clock::now();
  {
    std::vector<std::jthread> threads;
    for (int user = 0; user < user_count; ++user) {
      threads.emplace_back([&, user] {
        UserSoak& soak = users[user];
        const std::string name = "user" + std::to_string(user);
        std::seed_seq seeds{seed, static_cast<uint32_t>(user)};
        std::mt19937 random(seeds);
        std::uniform_int_distribution<size_t> pick(0, combinations.size() - 1);
        for (; soak.runs < run_count && Clock::now() < started + budget; ++soak.runs) {
          const size_t drawn = pick(random);
          ProgramRun made = RunProgram(RNT_CLI_PATH, Arguments(combinations[drawn], name),
                                       {std::nullopt, false, kHungSeconds});
          if (made.exit_status != 3) soak.last = drawn;  // a refused run writes nothing
          const bool hung = made.exit_status == 128 + SIGALRM;
          if ((hung || Observe(made, name) != expected[drawn]) && soak.faults.size() < 5) {
            soak.faults.push_back(
                name + " run " + std::to_string(soak.runs + 1) + " (" + combinations[drawn].party +
                ", " + combinations[drawn].rent_date + "): " +
                (hung ? "hung and was killed"
                      : "exit " + std::to_string(made.exit_status) + ", unlike alone: " +
                            made.err.substr(0, made.err.find('\n')) + made.out.substr(0, 200)));
          }
        }
      });
    }
  }
  for (const UserSoak& soak : users) {
    for (const std::string& fault : soak.faults) ADD_FAILURE() << fault;
    EXPECT_GT(soak.runs, 0);
  }

  // Afterwards: each party and rent date made alone on the soak's company by
  // a fresh user; the soak's users must hold the lines of their last runs, and
  // no one else any (no rows of unknown users, no line set written twice or
  // in part).
  std::vector<std::string> wanted;  // each user's number of rows, as "user|rows"
  for (size_t i = 0; i < combinations.size(); ++i) {
    const std::string fresh = "after" + std::to_string(i);
    EXPECT_EQ(RunAlone(combinations[i], fresh), expected[i]) << fresh;
    const auto lines = nlohmann::json::parse(expected[i].second, nullptr, false);
    if (lines.is_array() && !lines.empty())
      wanted.push_back(fresh + "|" + std::to_string(lines.size()));
  }
  db::Connection company;
  company.Open(server_ ? ServerConnectionText(server_->server(), server_->Catalogue())
                       : JetConnectionText(company_.path()));
  for (int user = 0; user < user_count; ++user) {
    if (!users[user].last) continue;
    const std::string name = "user" + std::to_string(user);
    const std::vector<std::string> rows = RowsOf(company, name);
    EXPECT_EQ(rows, RowsOf(company, "after" + std::to_string(*users[user].last))) << name;
    if (!rows.empty()) wanted.push_back(name + "|" + std::to_string(rows.size()));
  }
  std::vector<std::string> held =
      RowTexts(company, "select Uname, count(*) as n from atShut group by Uname", {"Uname", "n"});
  std::ranges::sort(held);
  std::ranges::sort(wanted);
  EXPECT_EQ(held, wanted);

  // The database's own checks: of the whole file, or of the work table's
  // pages where the server has them.
  if (!server_) {
    EXPECT_EQ(RowTexts(company, "PRAGMA integrity_check", {"integrity_check"}),
              std::vector<std::string>{"ok"});
    EXPECT_EQ(RowTexts(company, "PRAGMA foreign_key_check", {}), std::vector<std::string>{});
    return;
  }
  try {
    company.backend()->ExecuteNative("create extension if not exists amcheck");
    EXPECT_EQ(
        RowTexts(company, "select count(*) as damaged from verify_heapam('atshut')", {"damaged"}),
        std::vector<std::string>{"0"})
        << "verify_heapam found damaged pages";
  } catch (const std::exception&) {
    // this server has no amcheck
  }
}

INSTANTIATE_TEST_SUITE_P(Soak, SoakRuns, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);

}  // namespace
}  // namespace rnt::testing
