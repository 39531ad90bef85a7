#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace rnt::refhost {

// The login to the database server, as the first line of a Server.Txt holds
// it: fields separated by ";", 1 the server, 2 the user, 3 the password.
struct ServerLogin {
  std::string line;

  // Reads a Server.Txt. Throws rnt::Error naming the file when it cannot be
  // read or its first line has fewer than four fields.
  static ServerLogin FromFile(const std::filesystem::path& file);
  // The login from a Server.Txt's contents. Throws rnt::Error when the first
  // line has fewer than four fields.
  static ServerLogin FromText(std::string_view contents);
  // The connection text of a catalogue, built as the add-on builds it.
  std::string ConnectionText(std::string_view catalogue) const;
};

}  // namespace rnt::refhost
