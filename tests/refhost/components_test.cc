#include "refhost/components.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using rnt::testing::CompanyFile;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

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

TEST_F(RefComponents, CodeOfFindsAMasterOfItsKindWhateverItsBlanksAndLetterCase) {
  EXPECT_EQ(lookup_->CodeOf("  aCME traders \t", HostMasterLookup::kParty), 101);
  EXPECT_EQ(lookup_->CodeOf("o'brien & SONS", HostMasterLookup::kParty), 102);
  EXPECT_EQ(lookup_->CodeOf("scaffold pipe", 6), 201);
  EXPECT_THAT([&] { lookup_->CodeOf("Acme", HostMasterLookup::kParty); },
              ThrowsMessage<Error>(HasSubstr("'Acme'")));
  // An item of that name is not a party.
  EXPECT_THROW(lookup_->CodeOf("Scaffold Pipe", HostMasterLookup::kParty), Error);
  // Quotes in the name are a value, not a part of the query.
  EXPECT_THROW(lookup_->CodeOf("x' or '1'='1", HostMasterLookup::kParty), Error);
}

TEST_F(RefComponents, RateMasterOfAnswersOnlyForAPartyThatHasOne) {
  EXPECT_EQ(lookup_->RateMasterOf(Variant(int32_t{101})), 7);
  EXPECT_EQ(lookup_->RateMasterOf(Variant(101.0)), 7);
  EXPECT_THAT([&] { lookup_->RateMasterOf(Variant(int32_t{102})); },
              ThrowsMessage<Error>(HasSubstr("no rate master")));
  EXPECT_THROW(lookup_->RateMasterOf(Variant(int32_t{999})), Error);
  EXPECT_THROW(lookup_->RateMasterOf(Variant(int32_t{201})), Error);  // an item, not a party
  // A failed party lookup leaves the party's name where the code would be.
  EXPECT_THAT([&] { lookup_->RateMasterOf(Variant("Acme Traders")); },
              ThrowsMessage<Error>(HasSubstr("Acme Traders")));
}

TEST_F(RefComponents, YearDateIsTheStartOfTheFinancialYear) {
  EXPECT_EQ(factory_.NewCalendar()->YearDate(), Variant(Date::FromYmd(2021, 4, 1)));
  company_.Execute("delete from FinancialYear");
  EXPECT_THROW(factory_.NewCalendar()->YearDate(), Error);
  company_.Execute("insert into FinancialYear (StartDate) values (NULL)");
  EXPECT_THROW(factory_.NewCalendar()->YearDate(), Error);
}

TEST_F(RefComponents, HasYearOnlyWhenAPreviousYearFileOpensAndFailsOnADamagedOne) {
  const auto has_year = [&](std::optional<std::filesystem::path> previous) {
    int16_t year = 2020;
    return ReferenceComponentFactory(CompanyData({company_.path(), previous}))
        .NewYearProbe()
        ->HasYear(year);
  };
  CompanyFile previous;
  const auto corrupt = company_.path().parent_path() / "corrupt.db";
  std::ofstream(corrupt) << "this is not a company database, only some text that is long enough";
  EXPECT_TRUE(has_year(previous.path()));
  EXPECT_FALSE(has_year(std::nullopt));
  // A file that is there but cannot be read is no missing year.
  EXPECT_THROW(has_year(corrupt), DatabaseUnavailable);
  EXPECT_FALSE(has_year(company_.path().parent_path() / "missing.db"));
}

}  // namespace
}  // namespace rnt::refhost
