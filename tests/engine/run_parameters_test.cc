#include "engine/run_parameters.h"

#include <gtest/gtest.h>

#include <fstream>

#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

TEST(RunParameters, ReadsTheFieldsWithOrWithoutCrLfAndMissingOnesAreEmpty) {
  RunParameters with = ParseParametersLine("05-04-2021<?#>Sharma Builders<?#>04-04-2021\r\n");
  EXPECT_EQ(with.rent_date, "05-04-2021");
  EXPECT_EQ(with.party, "Sharma Builders");
  EXPECT_EQ(with.search_date, "04-04-2021");
  EXPECT_EQ(ParseParametersLine("05-04-2021<?#>A<?#>04-04-2021").search_date, "04-04-2021");
  RunParameters short_line = ParseParametersLine("05-04-2021");
  EXPECT_EQ(short_line.rent_date, "05-04-2021");
  EXPECT_EQ(short_line.party, "");
  EXPECT_EQ(short_line.search_date, "");
}

TEST(RunParameters, IsReadFromTheUsersFileInTheAddonsFolder) {
  rnt::testing::TempFolder folder;
  std::ofstream(folder.path() / "tmpQWT5731_anita.dat", std::ios::binary)
      << "05-04-2021<?#>A<?#>01-04-2021\r\nsecond line ignored\r\n";
  EXPECT_EQ(ReadParametersFile(folder.path(), Variant("anita")).party, "A");
  EXPECT_THROW(ReadParametersFile(folder.path(), Variant("bob")), Error);
  EXPECT_THROW(ReadParametersFile(folder.path(), Variant::Null()), Error);
}

}  // namespace
}  // namespace rnt::engine
