#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/backend.h"

struct sqlite3;
struct sqlite3_stmt;

namespace rnt::db {

// A company file served by SQLite. The file is opened in WAL mode with a busy
// timeout, so that readers go on beside the one writer and two users' runs
// on one company wait for each other instead of failing. Statements are
// prepared once per query shape and per insert column list, and reused with
// their values bound.
class SqliteBackend : public Backend {
 public:
  // Opens an existing file; throws rnt::Error naming the file when it does not
  // exist, and rnt::DatabaseUnavailable when it cannot be opened or read (not
  // a database, damaged, locked, in a folder where its -wal and -shm files
  // cannot be made).
  explicit SqliteBackend(const std::string& path);
  ~SqliteBackend() override;

  // Makes a new, empty database file; throws rnt::Error when the file exists
  // or cannot be made.
  static void CreateFile(const std::string& path);
  SqliteBackend(const SqliteBackend&) = delete;
  SqliteBackend& operator=(const SqliteBackend&) = delete;

  // How long a statement waits for another writer before it fails.
  static constexpr int kBusyTimeoutMs = 8000;

  Dialect dialect() const override { return Dialect::kSqlite; }
  void Execute(const QueryShape& shape) override;
  void Check(const QueryShape& shape) override;
  void ExecuteNative(const std::string& sql) override;
  ResultRows Query(const QueryShape& shape) override;
  void QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                 const std::function<void(const std::vector<Variant>& row)>& each) override;
  std::vector<ColumnInfo> TableColumns(std::string_view table) override;
  void Insert(std::string_view table,
              const std::vector<std::pair<std::string, Variant>>& values) override;
  // One prepared insert, run for each row between BEGIN IMMEDIATE and COMMIT.
  void InsertRows(std::string_view table, const std::vector<ColumnInfo>& columns,
                  const RowBatch& rows) override;

 private:
  struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const;
  };
  using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

  // The cached statement of a key, reset and without bindings; nullptr if none.
  sqlite3_stmt* Cached(const std::string& key);
  sqlite3_stmt* Prepare(const std::string& key, const std::string& sql);
  // A statement of the backend's own SQL, cached under its text.
  sqlite3_stmt* Statement(const std::string& sql);
  sqlite3_stmt* PreparedShape(const QueryShape& shape);
  void Bind(sqlite3_stmt* statement, int index, const Variant& value, const std::string& what);
  [[noreturn]] void Fail(std::string_view what, std::string_view sql) const;

  std::string path_;
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, StatementPtr> statements_;
};

}  // namespace rnt::db
