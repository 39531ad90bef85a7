// Any contents of a Server.Txt: the login is read or refused, and the
// connection text built from it names the server, the user and the password
// of the line and the catalogue asked for, whatever the line holds.
#include "core/text_util.h"
#include "db/connection_text.h"
#include "db/server_address.h"
#include "fuzz_check.h"
#include "refhost/server_login.h"

using rnt::fuzz::Require;
using rnt::fuzz::Tried;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rnt::refhost::ServerLogin login;
  if (!Tried([&] { login = rnt::refhost::ServerLogin::FromText(rnt::fuzz::TextOf(data, size)); })) {
    return 0;
  }
  Require(login.line.find('\n') == std::string::npos, "the login is the first line");
  const rnt::db::ConnectionText text =
      rnt::db::ConnectionText::Parse(login.ConnectionText("0001_db12021"));
  Require(text.provider() == rnt::db::Provider::kSqlServer, "the login goes to the server");
  Require(text.Get("Initial Catalog") == "0001_db12021", "the catalogue is the one asked for");
  const std::vector<std::string> fields = rnt::fuzz::Pieces(login.line, ';', SIZE_MAX);
  const char* names[] = {"Data Source", "User ID", "Password"};
  for (size_t i = 0; i < 3; ++i) {
    Require(text.Get(names[i]) == rnt::TrimBlanks(fields[i + 1]),
            "fields 1-3: server, user, password");
  }
  rnt::db::ServerAddress address;
  if (Tried([&] { address = rnt::db::ParseServerAddress(*text.Get("Data Source")); })) {
    Require(!address.host.empty() || text.Get("Data Source")->empty(), "a server has a host");
    Require(address.port >= 1 && address.port <= 65535, "a port is a port");
  }
  return 0;
}
