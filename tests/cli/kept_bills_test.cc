// Bills kept with their rent vouchers: listed, printed again as posted
// whatever changed since, and the party's latest one cancelled, on a company
// file and on the database server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <tuple>

#include "cli/money.h"
#include "support/pg_server.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;

const std::filesystem::path kData = std::filesystem::path(__FILE__).parent_path() / "month_end";

class KeptBills : public CompanyOnStorage {
 protected:
  // The arguments followed by those that name the company where it is kept.
  std::vector<std::string> On(std::vector<std::string> arguments, bool on_file = false) {
    const std::vector<std::string> company =
        server_ && !on_file ? server_->Arguments()
                            : std::vector<std::string>{"--company", company_.path().string()};
    arguments.insert(arguments.end(), company.begin(), company.end());
    // The company's first year: nothing before it to leave out.
    if (arguments[0] == "run" || arguments[0] == "post") arguments.push_back("--first-year");
    return arguments;
  }
  // A statement in the host's dialect, run where the company is kept.
  void Execute(const std::string& sql) {
    if (!server_) return company_.file().Execute(sql);
    db::Connection catalogue;
    catalogue.Open(ServerConnectionText(server_->server(), server_->Catalogue()));
    catalogue.Execute(sql);
  }
  ProgramRun Post(const std::string& rent_date, const std::string& format = "table",
                  bool on_file = false) {
    return Rnt(
        On({"post", "--party", "Sharma Builders", "--rent-date", rent_date, "--format", format},
           on_file));
  }

  CompanyYear company_{Date::FromYmd(2021, 4, 1)};
};

INSTANTIATE_TEST_SUITE_P(Stored, KeptBills, ::testing::Values(Storage::kFile, Storage::kServer),
                         StorageName);

// April posted on the file (and the company then copied to the server), May
// posted where the company is kept; both listed with the grand totals they
// printed. April printed again after a challan of April, a new rate and
// another day rule is the bill that was posted, line for line. Only the
// party's latest rent voucher can be cancelled; May cancelled, the next bill
// to June bills May again as it was billed.
TEST_P(KeptBills, ListedPrintedAgainAsPostedAndTheLatestCancelled) {
  company_.Party(12, "Sharma Builders").Party(14, "Kapoor").Item(101, "Plates");
  company_.Rate(12, 101, 2, 150).Issue("05-04-2021", "C1", 101, 12, 10);
  company_.Return("20-04-2021", "R1", 101, 12, 2).Lost("20-04-2021", 101, 12, 2);
  company_.Issue("07-04-2021", "C3", 101, 14, 5);
  // Kapoor's voucher was posted before bills were kept with their vouchers.
  company_.RentVoucher(900, "30-04-2021", 14, {{101, "5", "C3", "07-04-2021"}});
  company_.file().Execute("Insert Into CompanyInfo values ('Rao Scaffolding', 'Pune')");
  const ProgramRun april = Post("01-05-2021", "table", true);
  ASSERT_EQ(april.exit_status, 0) << april.err;
  if (server_) {
    ASSERT_EQ(server_->Copy(company_.path()).exit_status, 0);
  }
  const ProgramRun may = Post("01-06-2021", "json");
  ASSERT_EQ(may.exit_status, 0) << may.err;

  const nlohmann::json listed = nlohmann::json::parse(Rnt(On({"bills", "--format", "json"})).out);
  ASSERT_EQ(listed.size(), 3u);
  const int first = listed[1]["Voucher"], second = listed[2]["Voucher"];
  EXPECT_EQ(std::tuple(listed[0]["Voucher"], listed[0]["Amount"], listed[0]["FirstDay"]),
            std::tuple(900, nullptr, nullptr));
  const double amount = listed[1]["Amount"];
  EXPECT_THAT(april.out, ::testing::EndsWith(
                             " " + cli::HundredthsText(cli::PrintedHundredths(amount)) + "\n"));
  ProgramRun table = Rnt(On({"bills", "--party", "sharma builders", "--month", "05-2021"}));
  ExpectFileHolds(
      kData / "bills.txt",
      std::regex_replace(table.out, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d\n)"), "{POSTED}\n"));
  EXPECT_TRUE(EndedWith(Rnt(On({"bills", "--month", "13-2021"})), 2,
                        "--month: not a month: '13-2021' (expected MM-YYYY)"));

  // A challan of April entered late, a new rate, another day rule.
  Execute("Insert Into Tran1 values (1500, 4, #10-Apr-2021#, 'C9', 12)");
  Execute(
      "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, MasterCode1, "
      "MasterCode2, Value1) values (1500, 4, #10-Apr-2021#, 'C9', 1500, 3, 0, 101, 12, -5)");
  Execute("update at_PartyPriceConfig set [Value]=3");
  ASSERT_EQ(Rnt(On({"settings", "--day-rule", "end of day"})).exit_status, 0);
  const std::string voucher = std::to_string(first);
  ProgramRun again = Rnt(On({"reprint", "--voucher", voucher}));
  EXPECT_EQ(std::tuple(again.exit_status, again.out, again.err),
            std::tuple(0, april.out, std::string()));
  EXPECT_NE(Rnt(On({"run", "--party", "Sharma Builders", "--rent-date", "01-05-2021",
                    "--search-date", "29-04-2021"}))
                .out,
            april.out);
  EXPECT_EQ(Rnt(On({"reprint", "--voucher", std::to_string(second), "--format", "json"})).out,
            may.out);
  EXPECT_TRUE(EndedWith(Rnt(On({"reprint", "--voucher", "900"})), 3, "before bills were kept"));
  EXPECT_TRUE(EndedWith(Rnt(On({"reprint", "--voucher", "1500"})), 3, "not a rent voucher"));

  // Refused, nothing changed: not the latest, not a rent voucher, no voucher.
  EXPECT_TRUE(EndedWith(Rnt(On({"unpost", "--voucher", voucher})), 3,
                        "not cancelled: rent voucher " + voucher +
                            " is not the party's latest: rent voucher " + std::to_string(second) +
                            " of 31-05-2021 goes on from it"));
  EXPECT_TRUE(EndedWith(Rnt(On({"unpost", "--voucher", "1500"})), 3,
                        "voucher 1500 is not a rent voucher (VchType 4)"));
  EXPECT_TRUE(EndedWith(Rnt(On({"unpost", "--voucher", "99999"})), 2,
                        "--voucher: no voucher has the number 99999"));
  EXPECT_EQ(nlohmann::json::parse(Rnt(On({"bills", "--format", "json"})).out), listed);

  ProgramRun cancelled = Rnt(On({"unpost", "--voucher", std::to_string(second)}));
  EXPECT_EQ(std::tuple(cancelled.exit_status, cancelled.err), std::tuple(0, std::string()));
  EXPECT_EQ(cancelled.out, "cancelled rent voucher " + std::to_string(second) +
                               " of Sharma Builders (rent billed up to 31-05-2021); the next "
                               "bill goes on from rent voucher " +
                               voucher + " of 30-04-2021\n");
  EXPECT_EQ(Rnt(On({"reprint", "--voucher", std::to_string(second)})).exit_status, 2);
  // May billed again as it was, with the rate and rule it was billed by.
  Execute("update at_PartyPriceConfig set [Value]=2");
  ASSERT_EQ(Rnt(On({"settings", "--day-rule", "both days"})).exit_status, 0);
  const ProgramRun may_again = Post("01-06-2021", "json");
  ASSERT_EQ(may_again.exit_status, 0) << may_again.err;
  EXPECT_EQ(may_again.out, may.out);
  EXPECT_EQ(nlohmann::json::parse(Rnt(On({"bills", "--format", "json"})).out).size(), 3u);
}

}  // namespace
}  // namespace rnt::testing
