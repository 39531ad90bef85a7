// Posting a rent calculation as the party's rent voucher, and the next
// month's run continuing from it.
#include "refhost/rent_voucher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/recordset.h"
#include "host/company_context.h"
#include "rnt/error.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class RentVoucher : public RentRunTest {
 protected:
  RentVoucher() : RentRunTest(Date::FromYmd(2021, 4, 1)) {}

  void SetUp() override {
    RentRunTest::SetUp();
    current_.Rate(kParty, kPlates, 2, 100).Rate(kParty, kProps, 1, 50);
    // April: plates partly returned, props returned in full.
    current_.Issue("05-04-2021", "C1", kPlates, kParty, 10)
        .Issue("10-04-2021", "C2", kProps, kParty, 5)
        .Return("15-04-2021", " R1 ", kPlates, kParty, 4)
        .Return("20-04-2021", "R2", kProps, kParty, 5)
        .Issue("10-05-2021", "C3", kPlates, kParty, 2);
  }

  RentRun Run(const std::string& rent_date) { return RentRunTest::Run(rent_date, false); }

  // The company as the runs reach it: its file, or its catalogue on the server.
  refhost::YearFile& Company() {
    if (!company_) {
      refhost::CompanyFiles files{current_.path(), std::nullopt};
      if (GetParam() == Storage::kServer) files = server_.Company(files);
      company_.emplace(files.CurrentYear(), refhost::YearFile::Indexes::kLeaveAsIs);
    }
    return *company_;
  }

  int32_t Post(int day, int month) {
    return refhost::PostRentVoucher(Company().Connection(), kParty, Date::FromYmd(2021, month, day),
                                    "clerk");
  }

  std::string VoucherRows() {
    std::string counts;
    for (const char* table : {"Tran1", "Tran2", "ItemDesc", "VchOtherInfo"}) {
      db::Recordset rows;
      rows.Open(std::string("select count(*) as n from ") + table, Company().Connection());
      counts += rows.Field("n").ToText() + " ";
    }
    return counts;
  }

  std::optional<refhost::YearFile> company_;
};

TEST_P(RentVoucher, TheNextMonthContinuesFromThePostedRentDate) {
  ASSERT_FALSE(Run("01-05-2021").report.refusal.has_value());
  // The challans are vouchers 1001 to 1005: the rent voucher comes after them.
  EXPECT_EQ(Post(1, 5), 1006);

  RentRun june = Run("01-06-2021");
  // Plates carry 6 from the posted date; props, all returned, start afresh.
  EXPECT_THAT(RentLines(june), ElementsAre("0 101 0 0 6 6 01-05-2021 10-05-2021 9 54",
                                           "1 101 2 0 6 8 10-05-2021 31-05-2021 22 176"));
  EXPECT_EQ(june.lines[0].Get("ChallanNo"), Variant("R1"));
  EXPECT_EQ(june.lines[0].Get("ChallanDate"), Variant("15-04-2021"));
}

TEST_P(RentVoucher, IsPostedOnceForTheRentDateItsLinesWereCalculatedFor) {
  Run("01-05-2021");
  EXPECT_THAT([&] { Post(2, 5); },
              ::testing::ThrowsMessage<Error>(HasSubstr("calculated up to 30-04-2021")));
  Post(1, 5);
  const std::string posted = VoucherRows();
  EXPECT_THAT([&] { Post(1, 5); },
              ::testing::ThrowsMessage<Error>(HasSubstr("party 12 on 01-05-2021")));
  EXPECT_EQ(VoucherRows(), posted);
}

TEST_P(RentVoucher, ARunForThePostedRentDateIsRefused) {
  Run("01-05-2021");
  Post(1, 5);
  RentRun again = Run("01-05-2021");
  EXPECT_TRUE(again.report.refusal.has_value());
  EXPECT_TRUE(again.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(Storage, RentVoucher, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);

}  // namespace
}  // namespace rnt::testing
