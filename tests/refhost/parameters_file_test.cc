// The user's parameters file of a rent run, as the host writes it and the
// add-on reads it.
#include "refhost/parameters_file.h"

#include <fstream>
#include <iterator>

#include "engine/run_parameters.h"
#include "support/company_file.h"

namespace rnt::refhost {
namespace {

using engine::ParseParametersLine;
using engine::ReadParametersFile;
using rnt::testing::TempFolder;

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
