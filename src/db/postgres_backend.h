#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/backend.h"

namespace rnt::db {

// A company catalogue on a PostgreSQL server. Every statement runs on its own
// (autocommit), but the rows of a batch, which are saved in one transaction.
// Statements are prepared once per query shape and the kinds of its
// values, and per insert column list, and reused with their values sent as
// text. A lost connection fails the call that meets it with rnt::Error.
class PostgresBackend : public Backend {
 public:
  // Connects, waiting at most kConnectTimeoutSeconds for the server. Throws
  // rnt::Error naming the catalogue, the server and the server's reason (a
  // wrong password, an unknown catalogue, no answer).
  PostgresBackend(const std::string& host, int port, const std::string& database,
                  const std::string& user, const std::string& password);
  ~PostgresBackend() override;
  PostgresBackend(const PostgresBackend&) = delete;
  PostgresBackend& operator=(const PostgresBackend&) = delete;

  static constexpr int kDefaultPort = 5432;
  static constexpr int kConnectTimeoutSeconds = 5;

  Dialect dialect() const override { return Dialect::kPostgres; }
  void Execute(const QueryShape& shape) override;
  void Check(const QueryShape& shape) override;
  void ExecuteNative(const std::string& sql) override;
  ResultRows Query(const QueryShape& shape) override;
  // The server sends the whole result at once; its rows become values one at
  // a time, so that they are not held twice.
  void QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                 const std::function<void(const std::vector<Variant>& row)>& each) override;
  std::vector<ColumnInfo> TableColumns(std::string_view table) override;
  void Insert(std::string_view table,
              const std::vector<std::pair<std::string, Variant>>& values) override;
  // Inside one transaction, a function of the session's own adds the rows
  // handed to it kRowsPerCall at a time, each by an insert of its own; where
  // the session cannot make one, one prepared insert per row, sent
  // kRowsPerCall statements to a message.
  void InsertRows(std::string_view table, const std::vector<ColumnInfo>& columns,
                  const RowBatch& rows) override;
  static constexpr size_t kRowsPerCall = 2000;

 private:
  class Session;

  // The name of the prepared statement of a key, preparing `sql` under a new
  // name the first time.
  const std::string& Prepared(const std::string& key, const std::string& sql);
  // The name of the prepared insert of the columns (their kinds are needed
  // only the first time).
  const std::string& InsertStatement(std::string_view table,
                                     const std::vector<ColumnInfo>& columns);
  // The session's function that adds rows of these columns, made the first
  // time; nullopt when the session may not make functions.
  std::optional<std::string> BatchFunction(std::string_view table,
                                           const std::vector<ColumnInfo>& columns);
  // Drops the prepared statement of a key, if there is one.
  void Forget(const std::string& key);
  // Runs a shape's statement and hands its rows to `each` one at a time.
  void RunEach(const QueryShape& shape, std::string_view what, std::vector<std::string>& columns,
               const std::function<void(const std::vector<Variant>& row)>& each);

  std::string where_;  // "catalogue 'c' on server 'host:port'", for messages
  std::unique_ptr<Session> session_;
  std::unordered_map<std::string, std::string> statements_;  // key -> statement name
  size_t statements_made_ = 0;
  // By insert key: the name of the session's function that adds such rows,
  // or nullopt where it could not be made.
  std::unordered_map<std::string, std::optional<std::string>> batch_functions_;
};

}  // namespace rnt::db
