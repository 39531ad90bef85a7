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
using ::testing::ThrowsMessage;

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
  const auto write = [&](const std::string& user, const std::string& party) {
    WriteParametersFile(folder.path(), user, "15-06-2021", party, "15-06-2021");
  };
  for (const char* user : {"../x", "a/b", "a\\b", ".."}) {
    EXPECT_THROW(write(user, "Acme"), Error) << user;
  }
  EXPECT_THAT([&] { write("meena", "A<?#>B"); }, ThrowsMessage<Error>(HasSubstr("A<?#>B")));
  EXPECT_THROW(write("meena", "Acme\r\nX"), Error);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  // A missing folder is named with the file.
  EXPECT_THAT(
      [&] {
        WriteParametersFile(folder.path() / "gone", "meena", "15-06-2021", "Acme", "15-06-2021");
      },
      ThrowsMessage<Error>(HasSubstr("tmpQWT5731_meena.dat")));
}

}  // namespace
}  // namespace rnt::refhost
