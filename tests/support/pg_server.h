#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "support/program_run.h"

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

// Drops a catalogue through the server's maintenance catalogue, ending the
// sessions still open on it.
void DropCatalogue(const PgServer& server, std::string_view name);

// A new catalogue of its own for one test, named as a company's year is (it
// starts with a digit), with the host's and the add-on's tables and a
// connection to it for filling them; dropped afterwards.
class CompanyCatalogue {
 public:
  explicit CompanyCatalogue(const PgServer& server);
  ~CompanyCatalogue();

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

// A company file copied to the test server by `rnt0417 copy-company`, as a
// user copies one, under a company code of its own, with a Server.Txt that
// logs in to the server; the company's catalogues are dropped afterwards.
class ServerCompany {
 public:
  explicit ServerCompany(const PgServer& server);
  ~ServerCompany();

  ProgramRun Copy(const std::filesystem::path& company_file) const;
  // Server.Txt's line for the test server, logging in with `password`.
  std::string Login(const std::string& password) const;
  void WriteServerTxt(const std::string& line) const;
  // What names the year from 01-04-2021 of the company `code` on rnt0417's command line.
  std::vector<std::string> Arguments(const std::string& code = "") const;
  // The catalogue of that year.
  std::string Catalogue() const { return code_ + "_db12021"; }
  const PgServer& server() const { return server_; }

 private:
  PgServer server_;
  std::string code_;
  TempFolder folder_;
};

}  // namespace rnt::testing
