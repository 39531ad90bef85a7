// Any contents of a Server.Txt: the login is read or refused, and the
// connection text built from it names the server, the user and the password
// of the line and the catalogue asked for, whatever the line holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/text_util.h"
#include "db/connection_text.h"
#include "db/server_address.h"
#include "fuzz_check.h"
#include "refhost/server_login.h"
#include "rnt/error.h"

using rnt::fuzz::Require;

namespace {

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t end = line.find(';', start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rnt::refhost::ServerLogin login;
  try {
    login = rnt::refhost::ServerLogin::FromText(rnt::fuzz::TextOf(data, size));
  } catch (const rnt::Error&) {
    return 0;
  }
  Require(login.line.find('\n') == std::string::npos, "the login is the first line");
  const std::string catalogue = "0001_db12021";
  const rnt::db::ConnectionText text =
      rnt::db::ConnectionText::Parse(login.ConnectionText(catalogue));
  const std::vector<std::string_view> fields = Fields(login.line);
  Require(text.provider() == rnt::db::Provider::kSqlServer, "the login goes to the server");
  Require(text.Get("Initial Catalog") == catalogue, "the catalogue is the one asked for");
  Require(text.Get("Data Source") == rnt::TrimBlanks(fields[1]), "the server is field 1");
  Require(text.Get("User ID") == rnt::TrimBlanks(fields[2]), "the user is field 2");
  Require(text.Get("Password") == rnt::TrimBlanks(fields[3]), "the password is field 3");
  try {
    const rnt::db::ServerAddress address = rnt::db::ParseServerAddress(*text.Get("Data Source"));
    Require(!address.host.empty() || text.Get("Data Source")->empty(), "a server has a host");
    Require(address.port >= 1 && address.port <= 65535, "a port is a port");
  } catch (const rnt::Error&) {
  }
  return 0;
}
