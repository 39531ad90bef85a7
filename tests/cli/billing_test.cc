// rnt0417 as a billing tool: the demo, posting a rent voucher and billing
// every party at month end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "rnt/value_text.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;

double SumOfAmounts(const std::string& json) {
  double sum = 0;
  for (const auto& line : nlohmann::json::parse(json)) {
    if (!line["Qty2"].is_null()) sum += line["Qty2"].get<double>();
  }
  return sum;
}

TEST(Billing, TheDemoPrintsTwoStatementsThatAddUp) {
  TempFolder folder;
  ProgramRun demo = RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()});
  ASSERT_EQ(demo.exit_status, 0) << demo.err;
  for (const char* party : {"Sharma Builders", "Kapoor Constructions"}) {
    ProgramRun json = RunProgram(
        RNT_CLI_PATH, {"run", "--company", (folder.path() / "demo-2024-25.db").string(),
                       "--previous-year", (folder.path() / "demo-2023-24.db").string(), "--party",
                       party, "--rent-date", "01-07-2024", "--settle-ms", "0", "--format", "json"});
    ASSERT_EQ(json.exit_status, 0) << json.err;
    double total = SumOfAmounts(json.out);
    EXPECT_GT(total, 100) << party;
    EXPECT_THAT(demo.out, HasSubstr("Grand total")) << party;
    EXPECT_THAT(demo.out, HasSubstr(TwoDecimalText(total))) << party;
  }
  ProgramRun again = RunProgram(RNT_CLI_PATH, {"demo", "--dir", folder.path().string()});
  EXPECT_EQ(again.exit_status, 2);
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
}

}  // namespace
}  // namespace rnt::testing
