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

  CompanyFiles Files() const { return {company_.path(), std::nullopt}; }

  CompanyFile company_;
};

TEST_F(RefComponents, CodeOfFindsAPartyWhateverItsBlanksAndLetterCase) {
  ReferenceComponentFactory factory(Files());
  auto lookup = factory.NewMasterLookup();
  EXPECT_EQ(lookup->CodeOf("Acme Traders", HostMasterLookup::kParty), 101);
  EXPECT_EQ(lookup->CodeOf("  aCME traders \t", HostMasterLookup::kParty), 101);
  EXPECT_EQ(lookup->CodeOf("o'brien & SONS", HostMasterLookup::kParty), 102);
  // Other kinds are looked up among the masters of their own type.
  EXPECT_EQ(lookup->CodeOf("scaffold pipe", 6), 201);
}

TEST_F(RefComponents, CodeOfFailsNamingAPartyThatIsNotThere) {
  ReferenceComponentFactory factory(Files());
  auto lookup = factory.NewMasterLookup();
  EXPECT_THAT([&] { lookup->CodeOf("Acme", HostMasterLookup::kParty); },
              ::testing::ThrowsMessage<Error>(HasSubstr("'Acme'")));
  // An item of that name is not a party.
  EXPECT_THROW(lookup->CodeOf("Scaffold Pipe", HostMasterLookup::kParty), Error);
  // Quotes in the name are a value, not a part of the query.
  EXPECT_THROW(lookup->CodeOf("x' or '1'='1", HostMasterLookup::kParty), Error);
}

TEST_F(RefComponents, RateMasterOfAnswersOnlyForAPartyThatHasOne) {
  ReferenceComponentFactory factory(Files());
  auto lookup = factory.NewMasterLookup();
  EXPECT_EQ(lookup->RateMasterOf(Variant(int32_t{101})), 7);
  EXPECT_EQ(lookup->RateMasterOf(Variant(101.0)), 7);
  EXPECT_THAT([&] { lookup->RateMasterOf(Variant(int32_t{102})); },
              ::testing::ThrowsMessage<Error>(HasSubstr("no rate master")));
  EXPECT_THROW(lookup->RateMasterOf(Variant(int32_t{999})), Error);
  // An item's code is not a party's.
  EXPECT_THROW(lookup->RateMasterOf(Variant(int32_t{201})), Error);
  // A failed party lookup leaves the party's name where the code would be.
  EXPECT_THAT([&] { lookup->RateMasterOf(Variant("Acme Traders")); },
              ::testing::ThrowsMessage<Error>(HasSubstr("Acme Traders")));
}

TEST_F(RefComponents, YearDateIsTheStartOfTheFinancialYear) {
  ReferenceComponentFactory factory(Files());
  Variant year_date = factory.NewCalendar()->YearDate();
  ASSERT_EQ(year_date.type(), VariantType::kDate);
  EXPECT_EQ(year_date.date(), Date::FromYmd(2021, 4, 1));
  EXPECT_EQ(year_date.ToText(), "01-04-2021");

  company_.Execute("delete from FinancialYear");
  EXPECT_THROW(factory.NewCalendar()->YearDate(), Error);
  company_.Execute("insert into FinancialYear (StartDate) values (NULL)");
  EXPECT_THROW(factory.NewCalendar()->YearDate(), Error);
}

TEST_F(RefComponents, HasYearOnlyWhenAPreviousYearFileOpens) {
  int16_t year = 2020;
  EXPECT_FALSE(ReferenceComponentFactory(Files()).NewYearProbe()->HasYear(year));

  CompanyFile previous;
  EXPECT_TRUE(
      ReferenceComponentFactory({company_.path(), previous.path()}).NewYearProbe()->HasYear(year));

  const auto corrupt = company_.path().parent_path() / "corrupt.db";
  std::ofstream(corrupt) << "this is not a company database, only some text that is long enough";
  EXPECT_FALSE(ReferenceComponentFactory({company_.path(), corrupt}).NewYearProbe()->HasYear(year));

  const auto missing = company_.path().parent_path() / "missing.db";
  EXPECT_FALSE(ReferenceComponentFactory({company_.path(), missing}).NewYearProbe()->HasYear(year));
}

}  // namespace
}  // namespace rnt::refhost
