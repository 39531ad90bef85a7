#include "engine/rates.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/company_context.h"
#include "refhost/company_files.h"
#include "refhost/components.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

using rnt::testing::CompanyFile;

// Party 101 takes its rates from master 7 and has a rate of its own for item
// 501 only; party 102 has no rate master.
class Rates : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetThreadCompanyContext();
    host::CompanyContext& context = host::ThreadCompanyContext();
    context.connection = std::make_unique<db::Connection>();
    context.connection->Open(company_.connection_text());
    context.master_lookup = std::make_unique<refhost::ReferenceMasterLookup>(
        std::make_shared<refhost::YearFile>(company_.path()));
    company_.Execute(
        "insert into Master1 (Code, MasterType, Name, RateMaster) values "
        "(101, 2, 'Acme', 7), (102, 2, 'Zenith', NULL)");
    company_.Execute(
        "insert into at_PartyPriceConfig (MasterCode1, MasterCode2, Value, Value2, Value3) "
        "values (101, 501, 2.5, 9, 200), (7, 501, 4, 0, 300), (7, 502, 3, 0, 150), "
        "(102, 503, NULL, 0, NULL)");
  }
  void TearDown() override { host::ResetThreadCompanyContext(); }

  host::CompanyContext& context() { return host::ThreadCompanyContext(); }

  CompanyFile company_;
};

TEST_F(Rates, RentRateIsThePartysOwnThenItsRateMastersThenZero) {
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{501}), Variant(2.5));
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{502}), Variant(3.0));
  // Codes go into the query as their text, whatever kind of value holds them.
  EXPECT_EQ(GetRentRate(context(), "101", 502.0), Variant(3.0));
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{999}), Variant(int16_t{0}));
  EXPECT_EQ(GetRentRate(context(), int32_t{102}, int32_t{501}), Variant(int16_t{0}));
  EXPECT_TRUE(GetRentRate(context(), int32_t{102}, int32_t{503}).IsNull());
  // Codes that make no valid query find nothing, and that is no fault.
  EXPECT_EQ(GetRentRate(context(), Variant::Null(), int32_t{501}), Variant(int16_t{0}));
  EXPECT_EQ(GetRentRate(context(), "abc", int32_t{501}), Variant(int16_t{0}));
  EXPECT_TRUE(context().report.skipped.empty());
}

TEST_F(Rates, ReplacementValueAndDamageChargeNeverAskTheRateMaster) {
  EXPECT_EQ(GetReplacementRate(context(), int32_t{101}, int32_t{501}), Variant(200.0));
  EXPECT_EQ(GetReplacementRate(context(), int32_t{101}, int32_t{502}), Variant(int16_t{0}));
  EXPECT_TRUE(GetReplacementRate(context(), int32_t{102}, int32_t{503}).IsNull());

  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, int32_t{30}), Variant(60.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, "10 %"), Variant(20.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{501}, Variant::Null()), Variant(0.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{102}, int32_t{503}, int32_t{50}), Variant(0.0));
  EXPECT_EQ(GetDamageCharge(context(), int32_t{101}, int32_t{502}, int32_t{30}),
            Variant(int16_t{0}));
}

TEST_F(Rates, ALostConnectionAnswersZeroAndIsReportedOncePerLookup) {
  context().connection->Close();
  EXPECT_EQ(GetRentRate(context(), int32_t{101}, int32_t{501}), Variant(int16_t{0}));
  ASSERT_EQ(context().report.skipped.size(), 1u);
  EXPECT_NE(context().report.skipped[0].step.find("rent rate"), std::string::npos);
  EXPECT_FALSE(context().report.skipped[0].kept_from_database);
  GetDamageCharge(context(), int32_t{101}, int32_t{501}, int32_t{30});
  EXPECT_EQ(context().report.skipped.size(), 2u);
}

}  // namespace
}  // namespace rnt::engine
