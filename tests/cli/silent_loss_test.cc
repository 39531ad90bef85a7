// Bills that would leave material out say so, on company files and on the
// server: the year before left out of the company (a post is then refused),
// a challan changed after the rent voucher that covered it was posted. A rate
// master is no party to bill.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "support/pg_server.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class SilentLoss : public ::testing::TestWithParam<Storage> {
 protected:
  // Verma & Sons rents at the standard rates (a rate master, no party):
  // tubes and base jacks delivered in March, 30 tubes back in April, billed
  // up to 30-04-2021 by rent voucher 900. Sharma Builders took 25 tubes in
  // March and base jacks in April.
  void SetUp() override {
    if (GetParam() == Storage::kServer) {
      server_ = TestServer();
      if (!server_) GTEST_SKIP() << "no test database server";
    }
    for (CompanyYear* year : {&previous_, &current_}) {
      year->Party(12, "Verma & Sons", 90).Party(13, "Sharma Builders", 90);
      year->Item(209, "Scaffold tube").Item(210, "Base jack");
      year->file().Execute("Insert Into Master1 values (90, 8, 'Standard rates', NULL)");
    }
    current_.Rate(90, 209, 0.6).Rate(90, 210, 0.35);
    previous_.Issue("20-03-2021", "DC-1102", 209, 12, 80)
        .Issue("20-03-2021", "DC-1102", 210, 12, 40);
    previous_.Issue("22-03-2021", "DC-1103", 209, 13, 25);
    current_.Return("18-04-2021", "RC-420", 209, 12, 30)
        .Issue("05-04-2021", "DC-1150", 210, 13, 10);
    current_.RentVoucher(
        900, "30-04-2021", 12,
        {{209, "50", "RC-420", "18-04-2021"}, {210, "40", "DC-1102", "20-03-2021"}});
  }
  void TearDown() override {
    if (!server_) return;
    for (const char* code : {"w1", "w2"}) {
      for (const char* year : {"_db12021", "_db12020"}) {
        try {
          DropCatalogue(*server_, std::string(code) + std::to_string(getpid()) + year);
        } catch (const std::exception&) {
          // not made by this test
        }
      }
    }
  }

  // The arguments, then where the company is: its file, with the year
  // before's file in the company's folder when `both_years`; on the server
  // its catalogues, copied from those files when first named.
  std::vector<std::string> On(std::vector<std::string> arguments, bool both_years) {
    std::vector<std::string> company;
    if (!server_) {
      company = {"--company", current_.path().string()};
      if (both_years) company.insert(company.end(), {"--previous-year", previous_.path().string()});
    } else {
      const std::string code = (both_years ? "w1" : "w2") + std::to_string(getpid());
      const std::string server_txt = (folder_.path() / "Server.Txt").string();
      if (copied_.insert(code).second) {
        std::ofstream(server_txt) << "x;" << server_->host << ":" << server_->port << ";"
                                  << server_->user << ";" << server_->password << "\r\n";
        std::vector<std::string> copy = {"copy-company", "--company", current_.path().string(),
                                         "--server",     code,        "--server-txt",
                                         server_txt};
        if (both_years) copy.insert(copy.end(), {"--previous-year", previous_.path().string()});
        ProgramRun copied = Rnt(copy);
        EXPECT_EQ(copied.exit_status, 0) << copied.err;
      }
      company = {"--server", code, "--year-start", "01-04-2021", "--server-txt", server_txt};
    }
    arguments.insert(arguments.end(), company.begin(), company.end());
    return arguments;
  }
  std::vector<std::string> Bill(const std::string& command, const std::string& party) {
    return {command, "--party", party, "--rent-date", "01-06-2021", "--format", "json"};
  }

  std::optional<PgServer> server_;
  CompanyYear previous_{Date::FromYmd(2020, 4, 1)}, current_{Date::FromYmd(2021, 4, 1)};
  TempFolder folder_;
  std::set<std::string> copied_;
};

INSTANTIATE_TEST_SUITE_P(Stored, SilentLoss, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);

// Without the year before, Sharma's 25 tubes of March are not on its bill:
// every bill says so, and a post is refused until the clerk says that the
// company has no earlier year. With the year there, that is refused instead.
TEST_P(SilentLoss, AYearLeftOutIsNamedAndItsShortBillIsNotPosted) {
  const std::string missing =
      server_ ? "warning: no catalogue w2" : "warning: no file for the year";
  const std::string unbilled = "01-04-2020 to 31-03-2021";
  ProgramRun whole = Rnt(On(Bill("run", "Sharma Builders"), true));
  EXPECT_EQ(whole.exit_status, 0);
  EXPECT_THAT(whole.err, IsEmpty());
  EXPECT_THAT(whole.out, HasSubstr("DC-1103"));

  ProgramRun short_bill = Rnt(On(Bill("run", "Sharma Builders"), false));
  EXPECT_EQ(short_bill.exit_status, 0);
  EXPECT_THAT(short_bill.err,
              AllOf(HasSubstr(missing), HasSubstr(unbilled),
                    HasSubstr(": material delivered before the year began is not billed")));
  EXPECT_THAT(short_bill.out, Not(HasSubstr("DC-1103")));
  EXPECT_THAT(Rnt(On({"run", "--all-parties", "--rent-date", "01-06-2021"}, false)).err,
              HasSubstr(missing));

  ProgramRun refused = Rnt(On(Bill("post", "Sharma Builders"), false));
  EXPECT_EQ(refused.exit_status, 3);
  EXPECT_THAT(refused.err, HasSubstr("rnt0417: not posted: " + missing.substr(9)));
  EXPECT_THAT(Rnt(On({"parties"}, false)).out, HasSubstr("Sharma Builders  -"));

  std::vector<std::string> first_year = Bill("post", "Sharma Builders");
  first_year.push_back("--first-year");
  ProgramRun posted = Rnt(On(first_year, false));
  EXPECT_EQ(posted.exit_status, 0) << posted.err;
  EXPECT_THAT(posted.err, Not(HasSubstr("warning")));
  first_year[0] = "run";
  EXPECT_TRUE(EndedWith(Rnt(On(first_year, true)), 2,
                        "--first-year: the company has the year before the current one"));
}

// RC-420's return of 30 tubes corrected to 20 after voucher 900 carried 50:
// the next bill says so, naming the item, the voucher and both quantities.
TEST_P(SilentLoss, AChallanChangedAfterItsVoucherIsNamedOnTheNextBill) {
  ProgramRun as_posted = Rnt(On(Bill("run", "Verma & Sons"), true));
  EXPECT_EQ(as_posted.exit_status, 0);
  EXPECT_THAT(as_posted.err, IsEmpty());
  const std::string correction = "Update Tran3 set Value1=20 where [No]='RC-420'";
  current_.file().Execute(correction);
  if (server_) {
    db::Connection catalogue;
    catalogue.Open(ServerConnectionText(*server_, "w1" + std::to_string(getpid()) + "_db12021"));
    catalogue.Execute(correction);
  }
  ProgramRun changed = Rnt(On(Bill("run", "Verma & Sons"), true));
  EXPECT_EQ(changed.exit_status, 0);
  EXPECT_EQ(changed.err,
            "rnt0417: warning: Verma & Sons: rent voucher 900 of 30-04-2021 carries 50 Scaffold "
            "tube (209), but the challans up to 30-04-2021 give 60: a challan was changed after "
            "the voucher was posted, and this bill goes on from the voucher's 50\n");
}

// A catalogue copied before the server's host tables numbered their rows in
// the order recorded is numbered when first opened, and bills as the files.
TEST_P(SilentLoss, AnOlderCatalogueBillsAsItsFiles) {
  if (!server_) return;
  const std::vector<std::string> verma = Bill("run", "Verma & Sons");
  On(verma, true);  // copied
  for (const char* year : {"_db12021", "_db12020"}) {
    db::Connection catalogue;
    catalogue.Open(ServerConnectionText(*server_, "w1" + std::to_string(getpid()) + year));
    for (const char* table : {"Tran1", "Tran2", "Tran3", "ItemDesc", "Master1"}) {
      catalogue.Execute(std::string("ALTER TABLE ") + table + " DROP COLUMN rnt_helper_recorded");
    }
  }
  ProgramRun on_server = Rnt(On(verma, true));
  ASSERT_EQ(on_server.exit_status, 0) << on_server.err;
  std::vector<std::string> on_files = verma;
  on_files.insert(on_files.end(), {"--company", current_.path().string(), "--previous-year",
                                   previous_.path().string()});
  EXPECT_EQ(on_server.out, Rnt(on_files).out);
}

// The rate master is neither listed nor billed as a party.
TEST_P(SilentLoss, ARateMasterIsNoParty) {
  ProgramRun parties = Rnt(On({"parties"}, true));
  EXPECT_THAT(parties.out, AllOf(HasSubstr("Verma & Sons"), Not(HasSubstr("Standard rates"))));
  EXPECT_TRUE(EndedWith(Rnt(On(Bill("run", "Standard rates"), true)), 2,
                        "--party: no party 'Standard rates'"));
  ProgramRun all = Rnt(On({"run", "--all-parties", "--rent-date", "01-06-2021"}, true));
  EXPECT_THAT(all.err, HasSubstr("parties billed: 2, refused: 0, failed: 0"));
}

}  // namespace
}  // namespace rnt::testing
