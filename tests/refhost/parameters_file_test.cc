#include "refhost/parameters_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using rnt::testing::TempFolder;
using ::testing::HasSubstr;

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RefParametersFile, HoldsOneLineOfTheThreeFieldsEndedByCrLf) {
  TempFolder folder;
  const auto file =
      WriteParametersFile(folder.path(), "meena", "15-06-2021", "Acme Traders", "14-06-2021");
  EXPECT_EQ(file, folder.path() / "tmpQWT5731_meena.dat");
  EXPECT_EQ(Contents(file), "15-06-2021<?#>Acme Traders<?#>14-06-2021\r\n");

  // A second run replaces the first run's line.
  WriteParametersFile(folder.path(), "meena", "01-07-2021", "O'Brien", "01-07-2021");
  EXPECT_EQ(Contents(file), "01-07-2021<?#>O'Brien<?#>01-07-2021\r\n");
}

TEST(RefParametersFile, RefusesUserNamesOutsideTheFolderAndValuesThatShiftFields) {
  TempFolder folder;
  for (const char* user : {"../x", "a/b", "a\\b", ".."}) {
    EXPECT_THROW(WriteParametersFile(folder.path(), user, "15-06-2021", "Acme", "15-06-2021"),
                 Error)
        << user;
  }
  // So are values that would shift the fields the add-on reads.
  EXPECT_THAT(
      [&] { WriteParametersFile(folder.path(), "meena", "15-06-2021", "A<?#>B", "15-06-2021"); },
      ::testing::ThrowsMessage<Error>(HasSubstr("A<?#>B")));
  EXPECT_THROW(WriteParametersFile(folder.path(), "meena", "15-06-2021", "Acme\r\nX", "15-06-2021"),
               Error);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(RefParametersFile, FailsNamingTheFileWhenTheFolderIsMissing) {
  TempFolder folder;
  EXPECT_THAT(
      [&] {
        WriteParametersFile(folder.path() / "gone", "meena", "15-06-2021", "Acme", "15-06-2021");
      },
      ::testing::ThrowsMessage<Error>(HasSubstr("tmpQWT5731_meena.dat")));
}

}  // namespace
}  // namespace rnt::refhost
