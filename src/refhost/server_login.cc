#include "refhost/server_login.h"

#include <fstream>

#include "host/server_text.h"
#include "rnt/error.h"

namespace rnt::refhost {

ServerLogin ServerLogin::FromFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw Error("cannot read " + file.string());
  std::string first_line;
  std::getline(in, first_line);
  return FromText(first_line);
}

ServerLogin ServerLogin::FromText(std::string_view contents) {
  ServerLogin login{host::ServerTxtLine(contents)};
  login.ConnectionText("check");  // refuses a line without its four fields
  return login;
}

std::string ServerLogin::ConnectionText(std::string_view catalogue) const {
  return host::ServerConnectionText(line, catalogue);
}

}  // namespace rnt::refhost
