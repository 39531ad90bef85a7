// rnt0417 run end to end: the program loads the add-on, runs it on a company
// file and prints the user's rent lines; every wrong value of its command
// line is refused before anything is written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "support/company_file.h"
#include "support/program_run.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

TEST(RunCommand, RefusesWrongValuesWithExitTwoAndWritesNothing) {
  CompanyFile company;
  company.Execute("Insert Into FinancialYear values ('2021-04-01')");
  company.Execute("Insert Into Master1 values (12, 2, 'Sharma Builders', NULL)");
  const std::string file = company.path().string();
  // The party and the rent date unless the arguments say otherwise.
  auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"run", "--company", file});
    if (std::ranges::count(arguments, "--rent-date") == 0) {
      arguments.insert(arguments.end(), {"--rent-date", "05-04-2021"});
    }
    if (std::ranges::count(arguments, "--party") + std::ranges::count(arguments, "--all-parties") ==
        0) {
      arguments.insert(arguments.end(), {"--party", "Sharma Builders"});
    }
    return Rnt(arguments);
  };
  const std::pair<std::vector<std::string>, std::string> kRefused[] = {
      {{"--rent-date", "31-02-2021"}, "31-02-2021"},
      {{"--search-date", "soon"}, "soon"},
      {{"--party", "Nobody"}, "rnt0417 parties lists"},
      {{"--party", "sharma buildrs"},
       "no party 'sharma buildrs' in Master1 of " + file + "; did you mean 'Sharma Builders'?"},
      {{"--all-parties", "--output", "x.txt"}, "--output-dir DIR"},
      {{"--output-dir", "x"}, "--output FILE"},
      {{"--year-start", "01-04-2021"}, "--year-start goes with --server"},
      {{"--user", "../etc"}, "../etc"},
      {{"--previous-year", "/no/file"}, "/no/file"},
      {{"--format", "xml"}, "xml"},
      {{"--colour"}, "--colour"},
  };
  for (const auto& [arguments, reason] : kRefused)
    EXPECT_TRUE(EndedWith(run(arguments), 2, reason));
  EXPECT_ANY_THROW(company.connection().backend()->TableColumns("atShut"));

  // The party as typed, with spaces around it; the report counts the
  // statements sent to each database.
  ProgramRun made = run({"--party", " sharma builders ", "--format", "json", "--report"});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  EXPECT_EQ(nlohmann::json::parse(made.out), nlohmann::json::array());
  EXPECT_THAT(made.err, ::testing::ContainsRegex("rnt0417: statements sent: add-on [1-9][0-9]*, "
                                                 "host current year [1-9][0-9]*, host previous "
                                                 "year 0\n"));
  EXPECT_EQ(company.connection().backend()->TableColumns("atShut").size(), 18u);

  const std::string broken = (company.path().parent_path() / "broken.db").string();
  std::ofstream(broken) << "a spreadsheet saved under the wrong name, not a company database";
  for (const auto& [other, status] :
       {std::pair<std::string, int>{"/no/company.db", 2}, {broken, 1}}) {
    EXPECT_TRUE(
        EndedWith(Rnt({"run", "--company", other, "--party", "x", "--rent-date", "05-04-2021"}),
                  status, other));
  }
}

TEST(RunCommand, ShowsUsageWithAnExampleAndItsVersion) {
  ProgramRun help = Rnt({"--help"}), run_help = Rnt({"run", "--help"}),
             version = Rnt({"--version"});
  for (const ProgramRun& shown : {help, run_help, version}) EXPECT_EQ(shown.exit_status, 0);
  EXPECT_THAT(help.out, HasSubstr("Example"));
  EXPECT_THAT(run_help.out, AllOf(HasSubstr("--rent-date"), HasSubstr("Example")));
  EXPECT_THAT(version.out, ::testing::StartsWith("rnt0417 1."));
}

}  // namespace
}  // namespace rnt::testing
