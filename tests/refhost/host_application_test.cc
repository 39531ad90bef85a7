#include "refhost/host_application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "db/sqlite_backend.h"
#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using rnt::testing::CompanyFile;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

const Variant kRentVouchers("select VchCode from Tran1 where VchType=9 order by VchCode");

std::vector<int32_t> Codes(HostRecordset& rows) {
  std::vector<int32_t> codes;
  for (; !rows.Eof(); rows.MoveNext()) codes.push_back(rows.Field("vchcode").ToInt32());
  return codes;
}

TEST(RefHostApplication, ReadsEachYearFromItsOwnFileAndNamesOneItCannotRead) {
  CompanyFile current, previous;
  current.Execute("insert into Tran1 (VchCode, VchType, Date) values (20, 9, #05-05-2021#)");
  previous.Execute("insert into Tran1 (VchCode, VchType, Date) values (10, 9, #05-05-2020#)");
  ReferenceHostApplication host("meena", CompanyData({current.path(), previous.path()}));
  EXPECT_EQ(host.GetCurrentUserName(), Variant("meena"));
  EXPECT_EQ(Codes(*host.GetRecordset(kRentVouchers)), std::vector<int32_t>{20});
  EXPECT_EQ(Codes(*host.GetRecordsetFromPrevFY(kRentVouchers)), std::vector<int32_t>{10});

  ReferenceHostApplication without("meena", CompanyData({current.path(), std::nullopt}));
  EXPECT_THAT([&] { without.GetRecordsetFromPrevFY(kRentVouchers); },
              ThrowsMessage<Error>(HasSubstr("no previous financial year's file")));
  const auto corrupt = current.path().parent_path() / "2020.db";
  std::ofstream(corrupt) << "not a database at all, just text standing where a file should be";
  ReferenceHostApplication with_corrupt("meena", CompanyData({current.path(), corrupt}));
  EXPECT_THAT([&] { with_corrupt.GetRecordsetFromPrevFY(kRentVouchers); },
              ThrowsMessage<Error>(HasSubstr("2020.db")));
  // The current year is not affected.
  EXPECT_EQ(Codes(*with_corrupt.GetRecordset(kRentVouchers)), std::vector<int32_t>{20});
  ReferenceHostApplication missing("meena",
                                   CompanyData({current.path().parent_path() / "none.db", {}}));
  EXPECT_THAT([&] { missing.GetRecordset(kRentVouchers); },
              ThrowsMessage<Error>(HasSubstr("none.db")));
}

const Variant kVoucherIndexCount(
    "select count(*) as n from sqlite_master where name='ix_tran1_type_party_date'");

TEST(RefHostApplicationFiles, IndexesAFileThatCanTakeItAndServesOneThatCannot) {
  CompanyFile company;
  company.Execute("drop index ix_tran1_type_party_date");
  CompanyData to_index({company.path(), std::nullopt});
  ReferenceHostApplication indexed("meena", to_index);
  EXPECT_EQ(indexed.GetRecordset(kVoucherIndexCount)->Field("n"), Variant(int32_t{0}));
  to_index.AddIndexes();  // once the run's values are checked
  EXPECT_EQ(indexed.GetRecordset(kVoucherIndexCount)->Field("n"), Variant(int32_t{1}));

  // A company file with only some of the host tables: the index step fails
  // there, and the data is served all the same.
  const auto file = company.path().parent_path() / "old.db";
  db::SqliteBackend::CreateFile(file.string());
  {
    db::Connection setup;
    setup.Open(JetConnectionText(file));
    setup.Execute("create table Master1 (Code INTEGER, MasterType INTEGER, Name TEXT)");
  }
  CompanyData old_file({file, std::nullopt});
  old_file.AddIndexes();
  ReferenceHostApplication old("meena", old_file);
  EXPECT_TRUE(old.GetRecordset(Variant("select Code from Master1"))->Eof());
}

TEST(RefHostApplicationFiles, ServesAReadOnlyFileAndLeavesItAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "file permissions do not hold for root";
  CompanyFile company;
  company.Execute("drop index ix_tran1_type_party_date");
  company.connection().Close();
  std::filesystem::permissions(company.path(), std::filesystem::perms::owner_read,
                               std::filesystem::perm_options::replace);
  CompanyData read_only({company.path(), std::nullopt});
  read_only.AddIndexes();
  ReferenceHostApplication host("meena", read_only);
  EXPECT_EQ(host.GetRecordset(kVoucherIndexCount)->Field("n"), Variant(int32_t{0}));
}

TEST(RefJetConnectionText, NamesTheFileAndRefusesAPathItCannotCarry) {
  EXPECT_EQ(JetConnectionText("/data/acme 2021.db"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/acme 2021.db;");
  EXPECT_THROW(JetConnectionText("/data/a;b.db"), Error);
}

TEST(RefActivationData, HoldsTheCompanyTheFileAndTheHostWhereTheAddOnReadsThem) {
  const CompanyFiles files{"data/../data/0001.db", std::nullopt};
  auto host = std::make_shared<ReferenceHostApplication>("meena", CompanyData(files));
  const Collection p_data = MakeActivationData(files, host);
  EXPECT_EQ(p_data.Item(4), Variant("0001"));
  auto company = std::dynamic_pointer_cast<NamedObject>(p_data.Item(5).ToObject());
  ASSERT_NE(company, nullptr);
  EXPECT_EQ(company->Name(), (std::filesystem::current_path() / "data/0001.db").string());
  EXPECT_EQ(p_data.Item(6), Variant(int16_t{1}));
  EXPECT_EQ(p_data.Item(50).ToObject(), host);
  EXPECT_TRUE(p_data.Item(1).IsEmpty());
}

}  // namespace
}  // namespace rnt::refhost
