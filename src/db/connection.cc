#include "db/connection.h"

#include "db/connection_text.h"
#include "db/postgres_backend.h"
#include "db/server_address.h"
#include "db/sqlite_backend.h"
#include "rnt/error.h"

namespace rnt::db {
namespace {

static_assert(kDefaultServerPort == PostgresBackend::kDefaultPort);

std::unique_ptr<Backend> OpenServer(const ConnectionText& text, std::string_view user,
                                    std::string_view password) {
  ServerAddress server = ParseServerAddress(text.Require("Data Source"));
  // The user and password given with Open take the place of those in the text.
  return std::make_unique<PostgresBackend>(
      server.host, server.port, text.Require("Initial Catalog"),
      user.empty() ? text.Get("User ID").value_or("") : std::string(user),
      password.empty() ? text.Get("Password").value_or("") : std::string(password));
}

}  // namespace

void Connection::Open(std::string_view connection_text, std::string_view user,
                      std::string_view password) {
  Close();
  ConnectionText text = ConnectionText::Parse(connection_text);
  switch (text.provider()) {
    case Provider::kJet:
      // The file's password belongs to the file format of the host; a SQLite
      // company file has none, so the setting is accepted and not needed.
      backend_ = std::make_shared<SqliteBackend>(text.Require("Data Source"));
      break;
    case Provider::kSqlServer:
      backend_ = OpenServer(text, user, password);
      break;
  }
  connection_text_ = std::string(connection_text);
}

void Connection::Open(std::shared_ptr<Backend> backend, std::string description) {
  Close();
  backend_ = std::move(backend);
  connection_text_ = std::move(description);
}

void Connection::Close() {
  backend_.reset();
  connection_text_.clear();
}

void Connection::Execute(std::string_view sql) { backend()->Execute(ShapeQuery(sql)); }

std::shared_ptr<Backend> Connection::backend() const {
  if (!backend_) throw Error("the database connection is closed");
  return backend_;
}

}  // namespace rnt::db
