// rnt0417 run end to end: the program loads the add-on, runs it on a company
// file and prints the user's rent lines; every wrong value of its command
// line is refused before anything is written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "db/recordset.h"
#include "support/company_file.h"
#include "support/program_run.h"

namespace rnt {
namespace {

using rnt::testing::ProgramRun;
using rnt::testing::RunProgram;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class RunCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    company_.Execute("Insert Into FinancialYear values ('2021-04-01')");
    company_.Execute("Insert Into Master1 values (12, 2, 'Sharma Builders', NULL)");
  }

  ProgramRun Run(std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"run", "--company", company_.path().string(),
                                          "--settle-ms", "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return RunProgram(RNT_CLI_PATH, arguments);
  }

  bool HasWorkTable() {
    db::Recordset tables;
    tables.Open("select name from sqlite_master where name='atShut'", company_.connection());
    return !tables.Eof();
  }

  rnt::testing::CompanyFile company_;
};

TEST_F(RunCommand, MakesTheWorkTableAndLeavesOtherUsersLinesUntouched) {
  company_.Execute(
      "Create Table atShut ([SrNo] float,[RNo] varchar(40),[Uname] varchar(40),[Code1] "
      "float,[Days] float,[Qty] float,[Qty2] float,[Price] float,[PDate] varchar(40) )");
  company_.Execute("Insert Into atShut (SrNo, Uname, Qty) values (1, 'ravi', 5), (2, 'anita', 7)");
  ProgramRun run = Run({"--party", " sharma builders ", "--rent-date", "05-04-2021", "--user",
                        "anita", "--format", "json", "--report"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out), nlohmann::json::array());
  EXPECT_THAT(run.err, ContainsRegex("rnt0417: statements sent: add-on [1-9][0-9]*, host current "
                                     "year [1-9][0-9]*, host previous year 0\n"));
  EXPECT_EQ(company_.connection().backend()->TableColumns("atShut").size(), 18u);
  db::Recordset rows;
  rows.Open("select Uname, Qty from atShut", company_.connection());
  ASSERT_EQ(rows.RecordCount(), 1);
  EXPECT_EQ(rows.Field("Uname"), Variant("ravi"));
}

TEST_F(RunCommand, RefusesWrongValuesWithExitTwoAndWritesNothing) {
  struct Case {
    std::vector<std::string> arguments;
    std::string reason;
  };
  std::vector<Case> cases = {
      {{"--party", "Sharma Builders", "--rent-date", "31-02-2021"}, "31-02-2021"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--search-date", "soon"},
       "soon"},
      {{"--party", "Nobody", "--rent-date", "05-04-2021"}, "rnt0417 parties lists"},
      {{"--party", "sharma buildrs", "--rent-date", "05-04-2021"},
       "no party 'sharma buildrs' in Master1 of " + company_.path().string() +
           "; did you mean 'Sharma Builders'?"},
      {{"--all-parties", "--rent-date", "05-04-2021", "--output", "x.txt"}, "--output-dir DIR"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--output-dir", "x"},
       "--output FILE"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--year-start", "01-04-2021"},
       "--year-start goes with --server"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--user", "../etc"}, "../etc"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--previous-year", "/no/file"},
       "/no/file"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--format", "xml"}, "xml"},
      {{"--party", "Sharma Builders", "--rent-date", "05-04-2021", "--colour"}, "--colour"},
  };
  for (const Case& c : cases) {
    ProgramRun run = Run(c.arguments);
    EXPECT_EQ(run.exit_status, 2) << c.reason;
    EXPECT_THAT(run.err, HasSubstr(c.reason));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_FALSE(HasWorkTable());
  ProgramRun missing = RunProgram(RNT_CLI_PATH, {"run", "--company", "/no/company.db", "--party",
                                                 "x", "--rent-date", "05-04-2021"});
  EXPECT_EQ(missing.exit_status, 2);
  EXPECT_THAT(missing.err, HasSubstr("/no/company.db"));
}

TEST_F(RunCommand, ExitsOneWhenTheCompanyFileIsNoDatabase) {
  rnt::testing::TempFolder folder;
  std::string file = (folder.path() / "broken.db").string();
  std::ofstream(file) << "a spreadsheet saved under the wrong name, not a company database";
  ProgramRun run = RunProgram(RNT_CLI_PATH, {"run", "--company", file, "--party", "x",
                                             "--rent-date", "05-04-2021", "--settle-ms", "0"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_THAT(run.err, HasSubstr(file));
}

TEST(RunCommandHelp, ShowsUsageWithAnExample) {
  ProgramRun help = RunProgram(RNT_CLI_PATH, {"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_THAT(help.out, HasSubstr("Example"));
  ProgramRun version = RunProgram(RNT_CLI_PATH, {"--version"});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_THAT(version.out, StartsWith("rnt0417 1."));
  ProgramRun run_help = RunProgram(RNT_CLI_PATH, {"run", "--help"});
  EXPECT_EQ(run_help.exit_status, 0);
  EXPECT_THAT(run_help.out, HasSubstr("--rent-date"));
  EXPECT_THAT(run_help.out, HasSubstr("Example"));
}

}  // namespace
}  // namespace rnt
