// The parameters file that the host writes into the add-on's folder for a
// run, missing or wrong: the run, made in this process as the host makes it,
// counts as not made, says why in its report, and touches no other user's
// lines; the host's next run, with a good file, gives the lines of a fresh
// company.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "faults/fault_company.h"
#include "host/company_context.h"
#include "platform/addon_files.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;

struct ParametersCase {
  const char* name;
  // The file's bytes; nullptr: there is no file.
  const char* text;
  const char* step;
  const char* reason;
};

void PrintTo(const ParametersCase& c, std::ostream* out) { *out << c.name; }

constexpr char kRead[] = "read the parameters file";
constexpr char kCheck[] = "check the parameters file";

class ParametersFileFaults : public ::testing::TestWithParam<ParametersCase> {
 protected:
  RentRun Run(bool with_fault) {
    host::ResetThreadCompanyContext();
    RentRunRequest request = company_.Request();
    if (with_fault) {
      request.before_start = [text = GetParam().text](const std::filesystem::path& folder) {
        std::filesystem::path file = folder / platform::ParametersFileName(kUser);
        if (text == nullptr) {
          std::filesystem::remove(file);
        } else {
          std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        }
      };
    }
    RentRun run = MakeRentRun(request);
    host::ResetThreadCompanyContext();
    return run;
  }

  FaultCompany company_;
};

TEST_P(ParametersFileFaults, EndTheRunWithTheReasonAndTouchNoOtherUsersLines) {
  const CleanRun& clean = TheCleanRun();
  std::vector<std::string> others = OtherUsersRows(company_.current());
  ASSERT_FALSE(others.empty());

  RentRun run = Run(true);
  const SkippedStep* failure = run.report.FirstDatabaseFailure();
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(failure->step, GetParam().step);
  EXPECT_THAT(failure->failure, HasSubstr(GetParam().reason));
  EXPECT_THAT(failure->failure, HasSubstr(platform::ParametersFileName(kUser)));
  EXPECT_FALSE(run.report.refusal);
  // Start ended as always, with its pause and the default pointer.
  ASSERT_FALSE(run.windowing_events.empty());
  EXPECT_EQ(run.windowing_events.back(), "yield");
  EXPECT_EQ(OtherUsersRows(company_.current()), others);

  RentRun rerun = Run(false);
  EXPECT_EQ(rerun.report.FirstDatabaseFailure(), nullptr);
  EXPECT_EQ(UsersLines(company_.current()), clean.lines);
  EXPECT_EQ(OtherUsersRows(company_.current()), others);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ParametersFileFaults,
    ::testing::Values(
        ParametersCase{"Missing", nullptr, kRead, "cannot read the parameters file"},
        ParametersCase{"Empty", "", kCheck, "is empty"},
        ParametersCase{"OnlyTheRentDate", "01-05-2021\r\n", kCheck, "has 1 field(s)"},
        ParametersCase{"NoSearchDate", "01-05-2021<?#>Sharma Builders\r\n", kCheck,
                       "has 2 field(s)"},
        ParametersCase{"NoParty", "01-05-2021<?#><?#>01-05-2021\r\n", kCheck, "names no party"},
        ParametersCase{"RentDateNotADate", "first of May<?#>Sharma Builders<?#>01-05-2021\r\n",
                       kCheck, "the rent date is not a date: 'first of May'"},
        ParametersCase{"SearchDateNotADate", "01-05-2021<?#>Sharma Builders<?#>soon\r\n", kCheck,
                       "the search date is not a date: 'soon'"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rnt::testing
