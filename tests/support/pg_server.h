#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace rnt::testing {

// The private database server that the test run starts (scripts/pg_cluster.sh).
struct PgServer {
  std::string host;
  int port = 0;
  std::string user;
  std::string password;
};

// The server described by the file that RNT_PG_ENV names; nullopt when there
// is none, and the tests that need a server skip themselves.
std::optional<PgServer> TestServer();

// The connection text by which the add-on opens a catalogue of the server.
std::string ServerConnectionText(const PgServer& server, std::string_view catalogue);

// Makes or drops a catalogue through the server's maintenance catalogue;
// dropping ends the sessions still open on it.
void CreateCatalogue(const PgServer& server, std::string_view name);
void DropCatalogue(const PgServer& server, std::string_view name);

// A new catalogue of its own for one test, named as a company's year is (it
// starts with a digit), with the host's and the add-on's tables and a
// connection to it for filling them; dropped afterwards.
class CompanyCatalogue {
 public:
  explicit CompanyCatalogue(const PgServer& server);
  ~CompanyCatalogue();
  CompanyCatalogue(const CompanyCatalogue&) = delete;
  CompanyCatalogue& operator=(const CompanyCatalogue&) = delete;

  const std::string& name() const { return name_; }
  std::string connection_text() const { return ServerConnectionText(server_, name_); }
  db::Connection& connection() { return connection_; }
  // Runs statements written in the host's dialect on the catalogue.
  void Execute(std::string_view sql) { connection_.Execute(sql); }

 private:
  PgServer server_;
  std::string name_;
  db::Connection connection_;
};

}  // namespace rnt::testing
