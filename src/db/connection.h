#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/backend.h"
#include "rnt/host.h"

namespace rnt::db {

using rnt::ObjectState;

// A connection to a company database, opened by connection text. A text
// naming the Jet provider opens the SQLite file named by "Data Source" (in WAL
// mode, waiting several seconds for another writer); a text naming SQLOLEDB
// opens a catalogue on the database server. Statements are written in the
// host's dialect and translated for the backend.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Close(); }

  // Opens the database that the text names; an open connection is closed
  // first. For the server, "Data Source" is "host", "host:port" or
  // "host,port", "Initial Catalog" the catalogue, and "User ID" and "Password"
  // log on unless `user` and `password` are given. Throws rnt::Error naming
  // what is missing or what failed (the provider, the data source, the file,
  // the catalogue and the server's reason).
  void Open(std::string_view connection_text, std::string_view user = {},
            std::string_view password = {});
  // Opens the connection on a backend made elsewhere (a test's own, say).
  void Open(std::shared_ptr<Backend> backend, std::string description);
  // Closes the connection and, with it, every record set opened on it.
  void Close();
  ObjectState State() const { return backend_ ? ObjectState::kOpen : ObjectState::kClosed; }
  const std::string& connection_text() const { return connection_text_; }

  // Runs one statement that returns no rows. Throws rnt::Error when the
  // connection is closed or the statement fails.
  void Execute(std::string_view sql);

  // The open backend, shared with the record sets opened on it; throws
  // rnt::Error when the connection is closed.
  std::shared_ptr<Backend> backend() const;

 private:
  std::shared_ptr<Backend> backend_;
  std::string connection_text_;
};

}  // namespace rnt::db
