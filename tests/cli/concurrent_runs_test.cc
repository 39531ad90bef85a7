// Several users' rent runs on one company at the same time: each gets exactly
// the lines it gets when it runs alone, and no user's lines are lost or mixed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/company_context.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

constexpr int kUsers = 8;

std::vector<std::string> RunArguments(const std::filesystem::path& company, int user) {
  return {"run",
          "--company",
          company.string(),
          "--party",
          user % 2 ? "Verma & Sons" : "Sharma Builders",
          "--rent-date",
          "0" + std::to_string(1 + user % 5) + "-05-2021",
          "--user",
          "user" + std::to_string(user),
          "--settle-ms",
          "0",
          "--format",
          "json"};
}

TEST(ConcurrentRuns, EightUsersOnOneCompanyFileEachGetTheirOwnLines) {
  CompanyYear company(Date::FromYmd(2021, 4, 1));
  FillTwoPartyMonth(company, 20);
  std::vector<std::string> alone;
  for (int user = 0; user < kUsers; ++user) {
    ProgramRun run = RunProgram(RNT_CLI_PATH, RunArguments(company.path(), user));
    ASSERT_EQ(run.exit_status, 0) << run.err;
    alone.push_back(run.out);
  }
  std::vector<std::vector<std::string>> runs;
  for (int user = 0; user < kUsers; ++user) runs.push_back(RunArguments(company.path(), user));
  for (int round = 0; round < 2; ++round) {
    std::vector<ProgramRun> together = RunProgramsTogether(RNT_CLI_PATH, runs);
    for (int user = 0; user < kUsers; ++user) {
      ASSERT_EQ(together[user].exit_status, 0) << together[user].err;
      nlohmann::json lines = nlohmann::json::parse(together[user].out);
      EXPECT_GT(lines.size(), 20u);
      EXPECT_EQ(lines, nlohmann::json::parse(alone[user])) << "user" << user;
    }
  }
}

}  // namespace
}  // namespace rnt::testing
