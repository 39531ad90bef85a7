#include "support/pg_server.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "refhost/company_schema.h"

namespace rnt::testing {
namespace {

void OnMaintenanceCatalogue(const PgServer& server, const std::string& sql) {
  db::Connection maintenance;
  maintenance.Open(ServerConnectionText(server, "postgres"));
  maintenance.backend()->ExecuteNative(sql);
}

}  // namespace

std::optional<PgServer> TestServer() {
  const char* file = std::getenv("RNT_PG_ENV");
  std::ifstream settings(file ? file : "");
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(settings, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (values["PGHOST"].empty() || std::atoi(values["PGPORT"].c_str()) == 0) return std::nullopt;
  return PgServer{values["PGHOST"], std::atoi(values["PGPORT"].c_str()), values["PGUSER"],
                  values["PGPASSWORD"]};
}

std::string ServerConnectionText(const PgServer& server, std::string_view catalogue) {
  return "Provider = SQLOLEDB.1;Data Source=" + server.host + ":" + std::to_string(server.port) +
         ";Initial Catalog= " + std::string(catalogue) + ";User ID=" + server.user +
         ";Password=" + server.password + ";";
}

void DropCatalogue(const PgServer& server, std::string_view name) {
  OnMaintenanceCatalogue(server,
                         "DROP DATABASE IF EXISTS \"" + std::string(name) + "\" WITH (FORCE)");
}

CompanyCatalogue::CompanyCatalogue(const PgServer& server) : server_(server) {
  // Tests run side by side in processes of their own: the process and a
  // random number keep their catalogues apart.
  name_ = std::to_string(getpid()) + "_db120" + std::to_string(std::random_device()() % 100000);
  OnMaintenanceCatalogue(server_, "CREATE DATABASE \"" + name_ + "\"");
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

ServerCompany::ServerCompany(const PgServer& server)
    : server_(server), code_("s" + std::to_string(getpid())) {
  WriteServerTxt(Login(server_.password));
}

ServerCompany::~ServerCompany() {
  for (const char* year : {"_db12021", "_db12020"}) {
    try {
      DropCatalogue(server_, code_ + year);
    } catch (const std::exception&) {
      // The cluster and its catalogues go when the test run stops it.
    }
  }
}

ProgramRun ServerCompany::Copy(const std::filesystem::path& company_file) const {
  return Rnt({"copy-company", "--company", company_file.string(), "--server", code_, "--server-txt",
              (folder_.path() / "Server.Txt").string()});
}

std::string ServerCompany::Login(const std::string& password) const {
  return "x;" + server_.host + ":" + std::to_string(server_.port) + ";" + server_.user + ";" +
         password;
}

void ServerCompany::WriteServerTxt(const std::string& line) const {
  std::ofstream(folder_.path() / "Server.Txt") << line << "\r\n";
}

std::vector<std::string> ServerCompany::Arguments(const std::string& code) const {
  return {"--server",     code.empty() ? code_ : code,
          "--year-start", "01-04-2021",
          "--server-txt", (folder_.path() / "Server.Txt").string()};
}

}  // namespace rnt::testing
