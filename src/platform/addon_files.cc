#include "platform/addon_files.h"

#include <dlfcn.h>

#include "rnt/error.h"

namespace rnt::platform {

std::filesystem::path LibraryFolder() {
  Dl_info info{};
  // Any function of this library tells dladdr which file it was loaded from.
  if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || !info.dli_fname) {
    throw Error("cannot tell the folder of the loaded add-on library");
  }
  return std::filesystem::absolute(info.dli_fname).parent_path();
}

bool IsSafeUserName(std::string_view user_name) {
  return user_name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
         user_name.find("..") == std::string_view::npos;
}

std::string ParametersFileName(std::string_view user_name) {
  if (!IsSafeUserName(user_name)) {
    throw Error("user name '" + std::string(user_name) +
                "' cannot stand in a file name: it could lead outside the add-on's folder");
  }
  return "tmpQWT5731_" + std::string(user_name) + ".dat";
}

}  // namespace rnt::platform
