#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace rnt::refhost {

// The parameters file's line: "rent date<?#>party<?#>search date" ended by
// CR LF. Throws rnt::Error, naming the value, for a value holding the
// separator or a line break (the add-on would read other fields than were
// meant).
std::string ParametersLine(std::string_view rent_date_text, std::string_view party,
                           std::string_view search_date_text);

// Writes a user's parameters file into the add-on's folder before a rent run:
// one line "rent date<?#>party<?#>search date" ended by CR LF, in the file
// named for the user. Returns the file's path. Throws rnt::Error for a user
// name that cannot stand in a file name, for a value holding the separator or
// a line break (the add-on would read other fields than were meant), and,
// naming the file, when it cannot be written.
std::filesystem::path WriteParametersFile(const std::filesystem::path& folder,
                                          std::string_view user_name,
                                          std::string_view rent_date_text, std::string_view party,
                                          std::string_view search_date_text);

}  // namespace rnt::refhost
