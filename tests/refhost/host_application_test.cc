// The reference host: its host object over a company's year files, the
// closed components, the parameters file of a run, and the rent lines read
// back from the work table.
#include "refhost/host_application.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/sqlite_backend.h"
#include "db/work_table.h"
#include "engine/run_parameters.h"
#include "refhost/components.h"
#include "refhost/parameters_file.h"
#include "refhost/rent_lines.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using engine::ParseParametersLine;
using engine::ReadParametersFile;
using rnt::testing::CompanyFile;
using rnt::testing::TempFolder;

const Variant kRentVouchers("select VchCode from Tran1 where VchType=9 order by VchCode");

std::vector<std::string> Codes(const std::shared_ptr<HostRecordset>& rows) {
  return rnt::testing::RowTexts(*rows, {"vchcode"});
}

TEST(RefHostApplication, ReadsEachYearFromItsOwnFileAndNamesOneItCannotRead) {
  CompanyFile current, previous;
  current.Execute("insert into Tran1 (VchCode, VchType, Date) values (20, 9, #05-05-2021#)");
  previous.Execute("insert into Tran1 (VchCode, VchType, Date) values (10, 9, #05-05-2020#)");
  ReferenceHostApplication host("meena", CompanyData({current.path(), previous.path()}));
  EXPECT_EQ(host.GetCurrentUserName(), Variant("meena"));
  EXPECT_EQ(Codes(host.GetRecordset(kRentVouchers)), std::vector<std::string>{"20"});
  EXPECT_EQ(Codes(host.GetRecordsetFromPrevFY(kRentVouchers)), std::vector<std::string>{"10"});

  ReferenceHostApplication without("meena", CompanyData({current.path(), std::nullopt}));
  EXPECT_ERROR(without.GetRecordsetFromPrevFY(kRentVouchers), "no previous financial year's file");
  const auto corrupt = current.path().parent_path() / "2020.db";
  std::ofstream(corrupt) << "not a database at all, just text standing where a file should be";
  ReferenceHostApplication with_corrupt("meena", CompanyData({current.path(), corrupt}));
  EXPECT_ERROR(with_corrupt.GetRecordsetFromPrevFY(kRentVouchers), "2020.db");
  // The current year is not affected.
  EXPECT_EQ(Codes(with_corrupt.GetRecordset(kRentVouchers)), std::vector<std::string>{"20"});
  ReferenceHostApplication missing("meena",
                                   CompanyData({current.path().parent_path() / "none.db", {}}));
  EXPECT_ERROR(missing.GetRecordset(kRentVouchers), "none.db");
  // The year probe finds a previous year only in a file that opens; one that
  // is there but cannot be read is no missing year.
  const auto has_year = [&](std::optional<std::filesystem::path> previous_year) {
    int16_t year = 2020;
    return ReferenceComponentFactory(CompanyData({current.path(), previous_year}))
        .NewYearProbe()
        ->HasYear(year);
  };
  EXPECT_TRUE(has_year(previous.path()));
  EXPECT_FALSE(has_year(std::nullopt));
  EXPECT_THROW(has_year(corrupt), DatabaseUnavailable);
  EXPECT_FALSE(has_year(current.path().parent_path() / "missing.db"));
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

TEST(RefActivationData, NamesTheFileAndHoldsTheCompanyAndTheHostWhereTheAddOnReadsThem) {
  EXPECT_EQ(JetConnectionText("/data/acme 2021.db"),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/acme 2021.db;");
  EXPECT_THROW(JetConnectionText("/data/a;b.db"), Error);
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

// A company file with a few masters, and the components over it.
class RefComponents : public ::testing::Test {
 protected:
  RefComponents() {
    company_.Execute("insert into FinancialYear (StartDate) values (#01-04-2021#)");
    company_.Execute(
        "insert into Master1 (Code, MasterType, Name, RateMaster) values "
        "(101, 2, 'Acme Traders', 7), (102, 2, 'O''Brien & Sons', NULL), "
        "(201, 6, 'Scaffold Pipe', NULL), (301, 1, 'Acme Traders', NULL)");
  }

  CompanyFile company_;
  ReferenceComponentFactory factory_{CompanyData({company_.path(), std::nullopt})};
  std::shared_ptr<HostMasterLookup> lookup_ = factory_.NewMasterLookup();
};

TEST_F(RefComponents, MasterLookupFindsAMasterOfItsKindWhateverItsCaseAndAPartysRateMaster) {
  EXPECT_EQ(lookup_->CodeOf("  aCME traders \t", HostMasterLookup::kParty), 101);
  EXPECT_EQ(lookup_->CodeOf("o'brien & SONS", HostMasterLookup::kParty), 102);
  EXPECT_EQ(lookup_->CodeOf("scaffold pipe", 6), 201);
  EXPECT_ERROR(lookup_->CodeOf("Acme", HostMasterLookup::kParty), "'Acme'");
  // An item of that name is not a party.
  EXPECT_THROW(lookup_->CodeOf("Scaffold Pipe", HostMasterLookup::kParty), Error);
  // Quotes in the name are a value, not a part of the query.
  EXPECT_THROW(lookup_->CodeOf("x' or '1'='1", HostMasterLookup::kParty), Error);
  // Only a party that has a rate master has one.
  EXPECT_EQ(lookup_->RateMasterOf(Variant(int32_t{101})), 7);
  EXPECT_EQ(lookup_->RateMasterOf(Variant(101.0)), 7);
  EXPECT_ERROR(lookup_->RateMasterOf(Variant(int32_t{102})), "no rate master");
  EXPECT_THROW(lookup_->RateMasterOf(Variant(int32_t{999})), Error);
  EXPECT_THROW(lookup_->RateMasterOf(Variant(int32_t{201})), Error);  // an item, not a party
  // A failed party lookup leaves the party's name where the code would be.
  EXPECT_ERROR(lookup_->RateMasterOf(Variant("Acme Traders")), "Acme Traders");
}

TEST_F(RefComponents, YearDateIsTheStartOfTheFinancialYear) {
  EXPECT_EQ(factory_.NewCalendar()->YearDate(), Variant(Date::FromYmd(2021, 4, 1)));
  company_.Execute("delete from FinancialYear");
  EXPECT_THROW(factory_.NewCalendar()->YearDate(), Error);
  company_.Execute("insert into FinancialYear (StartDate) values (NULL)");
  EXPECT_THROW(factory_.NewCalendar()->YearDate(), Error);
}

// A work table of an older version, without the later columns, whose serial
// numbers run backwards, so that the write order is not theirs.
TEST(RefRentLines, AreTheUsersOwnInTheOrderWrittenWithEveryColumnOfTheWorkTable) {
  CompanyFile company;
  company.Execute(db::WorkTableStatements()[0]);
  company.Execute(
      "insert into atShut (SrNo, Uname, Qty, PDate) values (3, 'O''Brien', 4.5, '01-04-2021'), "
      "(9, 'meena', NULL, NULL), (2, 'O''Brien', NULL, NULL), (1, 'O''Brien', NULL, NULL), "
      "(8, 'o''brien', NULL, NULL)");
  const std::vector<RentLine> lines = ReadRentLines(company.connection(), "O'Brien");
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].Get("SrNo"), Variant(3.0 - i));
  std::vector<std::string_view> names;
  for (const auto& column : lines[0].columns) names.push_back(column.first);
  EXPECT_TRUE(std::ranges::equal(names, db::WorkTableColumns()));
  EXPECT_EQ(lines[0].Get("qty"), Variant(4.5));
  EXPECT_EQ(lines[0].Get("PDate"), Variant("01-04-2021"));
  EXPECT_TRUE(lines[0].Get("RecType").IsNull());
  EXPECT_THROW(lines[0].Get("Amount"), Error);
  EXPECT_TRUE(ReadRentLines(company.connection(), "nobody").empty());
}

// The user's parameters file of a rent run, as the host writes it and the add-on reads it.
std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ParametersLine, ReadsTheFieldsWithOrWithoutCrLfAndMissingOnesAreEmpty) {
  const auto fields = [](const std::string& line) {
    const engine::RunParameters read = ParseParametersLine(line);
    return std::vector<std::string>{read.rent_date, read.party, read.search_date};
  };
  const std::vector<std::string> all = {"05-04-2021", "Sharma Builders", "04-04-2021"};
  EXPECT_EQ(fields("05-04-2021<?#>Sharma Builders<?#>04-04-2021\r\n"), all);
  EXPECT_EQ(fields("05-04-2021<?#>Sharma Builders<?#>04-04-2021"), all);
  EXPECT_EQ(fields("05-04-2021"), (std::vector<std::string>{"05-04-2021", "", ""}));
}

TEST(ParametersFile, HoldsOneLineOfTheThreeFieldsEndedByCrLfForTheUserNamed) {
  TempFolder folder;
  const auto file =
      WriteParametersFile(folder.path(), "meena", "15-06-2021", "Acme Traders", "14-06-2021");
  EXPECT_EQ(file, folder.path() / "tmpQWT5731_meena.dat");
  EXPECT_EQ(Contents(file), "15-06-2021<?#>Acme Traders<?#>14-06-2021\r\n");
  // A second run replaces the first run's line; the add-on reads the first line only.
  WriteParametersFile(folder.path(), "meena", "01-07-2021", "O'Brien", "01-07-2021");
  EXPECT_EQ(Contents(file), "01-07-2021<?#>O'Brien<?#>01-07-2021\r\n");
  std::ofstream(file, std::ios::app | std::ios::binary) << "second line ignored\r\n";
  EXPECT_EQ(ReadParametersFile(folder.path(), Variant("meena")).party, "O'Brien");
  EXPECT_THROW(ReadParametersFile(folder.path(), Variant("bob")), Error);
  EXPECT_THROW(ReadParametersFile(folder.path(), Variant::Null()), Error);
}

TEST(ParametersFile, RefusesUserNamesOutsideTheFolderAndValuesThatShiftFields) {
  TempFolder folder;
  const auto write = [&](const std::string& user, const std::string& party) {
    WriteParametersFile(folder.path(), user, "15-06-2021", party, "15-06-2021");
  };
  for (const char* user : {"../x", "a/b", "a\\b", ".."}) {
    EXPECT_THROW(write(user, "Acme"), Error) << user;
  }
  EXPECT_ERROR(write("meena", "A<?#>B"), "A<?#>B");
  EXPECT_THROW(write("meena", "Acme\r\nX"), Error);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  // A missing folder is named with the file.
  EXPECT_ERROR(
      WriteParametersFile(folder.path() / "gone", "meena", "15-06-2021", "Acme", "15-06-2021"),
      "tmpQWT5731_meena.dat");
}

}  // namespace
}  // namespace rnt::refhost
