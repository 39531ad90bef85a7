#include "support/pg_server.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "refhost/company_schema.h"

namespace rnt::testing {
namespace {

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

void OnMaintenanceCatalogue(const PgServer& server, const std::string& sql) {
  db::Connection maintenance;
  maintenance.Open(ServerConnectionText(server, "postgres"));
  maintenance.backend()->ExecuteNative(sql);
}

}  // namespace

std::optional<PgServer> TestServer() {
  const char* file = std::getenv("RNT_PG_ENV");
  if (!file) return std::nullopt;
  std::ifstream settings(file);
  PgServer server;
  for (std::string line; std::getline(settings, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "PGHOST") server.host = value;
    if (key == "PGPORT") server.port = std::atoi(value.c_str());
    if (key == "PGUSER") server.user = value;
    if (key == "PGPASSWORD") server.password = value;
  }
  if (server.host.empty() || server.port == 0) return std::nullopt;
  return server;
}

std::string ServerConnectionText(const PgServer& server, std::string_view catalogue) {
  return "Provider = SQLOLEDB.1;Data Source=" + server.host + ":" + std::to_string(server.port) +
         ";Initial Catalog= " + std::string(catalogue) + ";User ID=" + server.user +
         ";Password=" + server.password + ";";
}

void CreateCatalogue(const PgServer& server, std::string_view name) {
  OnMaintenanceCatalogue(server, "CREATE DATABASE " + Quoted(name));
}

void DropCatalogue(const PgServer& server, std::string_view name) {
  OnMaintenanceCatalogue(server, "DROP DATABASE IF EXISTS " + Quoted(name) + " WITH (FORCE)");
}

CompanyCatalogue::CompanyCatalogue(const PgServer& server) : server_(server) {
  // Tests run side by side in processes of their own: the process and a
  // random number keep their catalogues apart.
  name_ = std::to_string(getpid()) + "_db120" + std::to_string(std::random_device()() % 100000);
  CreateCatalogue(server_, name_);
  connection_.Open(connection_text());
  refhost::CreateHostTables(connection_);
  refhost::CreateAddonTables(connection_);
}

CompanyCatalogue::~CompanyCatalogue() {
  connection_.Close();
  try {
    DropCatalogue(server_, name_);
  } catch (const std::exception&) {
    // The cluster and its catalogues go when the test run stops it.
  }
}

}  // namespace rnt::testing
