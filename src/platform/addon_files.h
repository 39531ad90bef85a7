#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The files that the add-on reads from its own folder.
namespace rnt::platform {

// The folder of the loaded add-on library file.
std::filesystem::path LibraryFolder();

// The name of a user's parameters file: "tmpQWT5731_" + user name + ".dat".
// The user name becomes part of a file name, so one that could lead outside
// the add-on's folder (holding "/", "\", ".." or a NUL) is refused with an
// rnt::Error naming it.
std::string ParametersFileName(std::string_view user_name);

// True when a user name can stand in a file name of the add-on's folder.
bool IsSafeUserName(std::string_view user_name);

// The separator of the parameters file's fields.
inline constexpr std::string_view kParametersSeparator = "<?#>";

// The file with the database server's login, in the add-on's folder.
inline constexpr std::string_view kServerFileName = "Server.Txt";

}  // namespace rnt::platform
