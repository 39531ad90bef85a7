#pragma once

#include <filesystem>
#include <string>

#include "rnt/variant.h"

namespace rnt::engine {

// The one line that the host writes for a rent run: the rent date, the party
// and the search date, each as the text the host wrote. A field the line does
// not have is empty.
struct RunParameters {
  std::string rent_date;
  std::string party;
  std::string search_date;
  size_t fields = 0;  // how many fields the line had (an empty line has one)
};

// Splits the parameters line at its separators, after taking a CR LF that
// ends it away.
RunParameters ParseParametersLine(std::string line);

// Reads the user's parameters file in the add-on's folder. Throws rnt::Error
// when the user name cannot stand in a file name (so that no name can make
// the add-on read a file outside its folder) or the file cannot be read.
RunParameters ReadParametersFile(const std::filesystem::path& folder, const Variant& user_name);

// Throws rnt::Error, naming the file and what is wrong, when the parameters
// cannot make a run: an empty file, a line of fewer than three fields, no
// party, or a rent date or search date that is not a date. A run made from
// them would bill the wrong party or period, or nothing, as if that were right.
void RequireRunParameters(const RunParameters& parameters, const std::filesystem::path& file);

// The path of the user's parameters file in the add-on's folder; throws
// rnt::Error for a user name that cannot stand in a file name.
std::filesystem::path ParametersFilePath(const std::filesystem::path& folder,
                                         const Variant& user_name);

}  // namespace rnt::engine
