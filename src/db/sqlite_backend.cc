#include "db/sqlite_backend.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::db {
namespace {

// A cache this large holds every query shape of a run many times over; past
// it, something builds shapes without end, and starting afresh bounds memory.
constexpr size_t kMaxCachedStatements = 512;

std::string Upper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return result;
}

// The length of a declared text type ("VARCHAR(40)") from the text after its
// parenthesis; a length that is not a whole number from 1 to the largest int
// sets no limit rather than a wrong one.
int DeclaredLength(std::string_view after_parenthesis) {
  while (!after_parenthesis.empty() && after_parenthesis.front() == ' ') {
    after_parenthesis.remove_prefix(1);
  }
  int length = 0;
  const auto [end, error] = std::from_chars(
      after_parenthesis.data(), after_parenthesis.data() + after_parenthesis.size(), length);
  return error == std::errc() && length > 0 ? length : 0;
}

// The kind of a column from the type it was declared with.
ColumnInfo ColumnFromDeclaration(std::string name, std::string_view declared) {
  ColumnInfo column{std::move(name), ColumnKind::kOther, 0};
  std::string type = Upper(declared);
  if (type.find("INT") != std::string::npos) {
    column.kind = ColumnKind::kInteger;
  } else if (type.find("CHAR") != std::string::npos || type.find("TEXT") != std::string::npos ||
             type.find("CLOB") != std::string::npos) {
    column.kind = ColumnKind::kText;
    size_t open = type.find('(');
    if (open != std::string::npos) {
      column.max_length = DeclaredLength(std::string_view(type).substr(open + 1));
    }
  } else if (type.find("DATE") != std::string::npos) {
    column.kind = ColumnKind::kDate;
  } else if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
             type.find("DOUB") != std::string::npos || type.find("NUM") != std::string::npos) {
    column.kind = ColumnKind::kFloat;
  }
  return column;
}

std::string IsoText(Date date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year(), date.month(), date.day());
  return text;
}

std::optional<Date> FromIsoText(std::string_view text) {
  // "yyyy-mm-dd" exactly: every date cell of every query passes here.
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [text](size_t at, size_t digits) -> std::optional<int> {
    int value = 0;
    const char* begin = text.data() + at;
    const auto [end, error] = std::from_chars(begin, begin + digits, value);
    if (error != std::errc() || end != begin + digits || *begin == '-' || *begin == '+') {
      return std::nullopt;
    }
    return value;
  };
  const std::optional<int> year = number(0, 4), month = number(5, 2), day = number(8, 2);
  if (!year || !month || !day) return std::nullopt;
  try {
    return Date::FromYmd(*year, *month, *day);
  } catch (const Error&) {
    return std::nullopt;
  }
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  int size = sqlite3_column_bytes(statement, column);
  return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

// The declared kind of a result column; kOther for an expression.
ColumnKind DeclaredKind(sqlite3_stmt* statement, int column) {
  const char* declared = sqlite3_column_decltype(statement, column);
  return declared ? ColumnFromDeclaration("", declared).kind : ColumnKind::kOther;
}

// One cell as a Variant: by the column's declared kind where it has one, else
// by what the cell holds.
Variant CellValue(sqlite3_stmt* statement, int column, ColumnKind kind) {
  int storage = sqlite3_column_type(statement, column);
  if (storage == SQLITE_NULL) return Variant::Null();

  if (kind == ColumnKind::kDate && storage == SQLITE_TEXT) {
    std::string text = ColumnText(statement, column);
    if (std::optional<Date> date = FromIsoText(text)) return Variant(*date);
    return Variant(std::move(text));
  }
  if (kind == ColumnKind::kText) return Variant(ColumnText(statement, column));
  switch (storage) {
    case SQLITE_INTEGER: {
      sqlite3_int64 number = sqlite3_column_int64(statement, column);
      if (kind == ColumnKind::kFloat || number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<double>(number));
      }
      return Variant(static_cast<int32_t>(number));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(statement, column));
    default:
      return Variant(ColumnText(statement, column));
  }
}

// Whether a result code is a failure of the database file itself rather than
// of one statement: locked past the wait, read-only, full, damaged, gone.
bool IsUnavailable(int rc) {
  switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
      return true;
    default:
      return false;
  }
}

// SQLite's message for the connection's last failure, with the operating
// system's reason where SQLite kept one. A write that the system refused is
// only "disk I/O error" to SQLite unless the disk said it was full; the file
// may as well have reached the size the system allows it.
std::string Reason(sqlite3* db) {
  std::string reason = sqlite3_errmsg(db);
  int rc = sqlite3_errcode(db) & 0xff;
  int system_error = sqlite3_system_errno(db);
  if (system_error != 0 && (rc == SQLITE_IOERR || rc == SQLITE_FULL || rc == SQLITE_CANTOPEN)) {
    reason += std::string(" (") + std::strerror(system_error) + ")";
  } else if (sqlite3_extended_errcode(db) == SQLITE_IOERR_WRITE) {
    reason += " (writing to the file failed: the disk may be full)";
  }
  return reason;
}

// A reader of a company file that could not be written (its mode read-only)
// makes the file's -wal and -shm files with the file's mode, so read-only
// too, and cannot remove them. Once the file may be written again, those
// would keep every writer out ("attempt to write a readonly database"): they
// are given the file's mode again, as SQLite would make them now. Only their
// owner can; anyone else meets the old failure.
void AlignSideFileModes(const std::string& path) {
  struct stat file;
  if (stat(path.c_str(), &file) != 0 || access(path.c_str(), W_OK) != 0) return;
  for (const char* suffix : {"-wal", "-shm"}) {
    std::string side = path + suffix;
    struct stat side_file;
    if (lstat(side.c_str(), &side_file) != 0 || !S_ISREG(side_file.st_mode)) continue;
    if (access(side.c_str(), W_OK) == 0) continue;
    chmod(side.c_str(), file.st_mode & 0666);
  }
}

// Why a company file in WAL mode could not be read, with the likely cause
// when its folder cannot be written: its -wal and -shm files live there.
std::string FolderHint(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (access(folder.c_str(), W_OK) == 0) return "";
  return " (its folder " + folder.string() +
         " cannot be written, and the file's -wal and -shm files must be made there)";
}

std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The insert of a row that names the columns given; none gives the table's defaults.
std::string InsertSql(std::string_view table, const std::vector<std::string_view>& columns) {
  if (columns.empty()) return "INSERT INTO " + QuotedName(table) + " DEFAULT VALUES";
  std::string names;
  std::string markers;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) {
      names += ',';
      markers += ',';
    }
    names += QuotedName(columns[i]);
    markers += '?' + std::to_string(i + 1);
  }
  return "INSERT INTO " + QuotedName(table) + " (" + names + ") VALUES (" + markers + ")";
}

}  // namespace

void SqliteBackend::StatementDeleter::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

SqliteBackend::SqliteBackend(const std::string& path) : path_(path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    throw Error("company file not found: " + path);
  }
  AlignSideFileModes(path);
  int rc =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? Reason(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    // The file is there: it is the file that cannot be used.
    throw DatabaseUnavailable("cannot open company file " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Reading the schema proves that the file is a database; WAL lets readers
  // and the one writer of a company file go on side by side. A file that
  // cannot be written keeps its journal mode and fails at the first write.
  char* message = nullptr;
  rc = sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, &message);
  if (rc != SQLITE_OK) {
    std::string why = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    if ((rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN) why += FolderHint(path);
    sqlite3_close(db_);
    db_ = nullptr;
    std::string what = "cannot read company file " + path + ": " + why;
    if (IsUnavailable(rc)) throw DatabaseUnavailable(what);
    throw Error(what);
  }
  sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
}

void SqliteBackend::CreateFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) throw Error("file exists already: " + path);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  // The file comes into being with its first page, so write the header now.
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw Error("cannot create database file " + path + ": " + message);
}

SqliteBackend::~SqliteBackend() {
  statements_.clear();
  sqlite3_close(db_);
}

void SqliteBackend::Fail(std::string_view what, std::string_view sql) const {
  std::string message = std::string(what) + " failed on " + path_ + ": " + Reason(db_) + " [" +
                        std::string(sql) + "]";
  if (IsUnavailable(sqlite3_errcode(db_))) throw DatabaseUnavailable(message);
  throw Error(message);
}

sqlite3_stmt* SqliteBackend::Cached(const std::string& key) {
  auto found = statements_.find(key);
  if (found == statements_.end()) return nullptr;
  sqlite3_reset(found->second.get());
  sqlite3_clear_bindings(found->second.get());
  return found->second.get();
}

sqlite3_stmt* SqliteBackend::Prepare(const std::string& key, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(raw);
    Fail("statement", sql);
  }
  if (statements_.size() >= kMaxCachedStatements) statements_.clear();
  return statements_.emplace(key, StatementPtr(raw)).first->second.get();
}

sqlite3_stmt* SqliteBackend::Statement(const std::string& sql) {
  sqlite3_stmt* statement = Cached(sql);
  return statement ? statement : Prepare(sql, sql);
}

// Translation is done once per shape; later queries of the shape only bind.
sqlite3_stmt* SqliteBackend::PreparedShape(const QueryShape& shape) {
  sqlite3_stmt* statement = Cached(shape.key);
  if (!statement) statement = Prepare(shape.key, TranslateShape(shape, Dialect::kSqlite));
  for (size_t i = 0; i < shape.params.size(); ++i) {
    Bind(statement, static_cast<int>(i + 1), shape.params[i], shape.key);
  }
  return statement;
}

void SqliteBackend::Bind(sqlite3_stmt* statement, int index, const Variant& value,
                         const std::string& what) {
  int rc = SQLITE_OK;
  switch (value.type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      rc = sqlite3_bind_null(statement, index);
      break;
    case VariantType::kInt16:
    case VariantType::kInt32:
      rc = sqlite3_bind_int64(statement, index, value.ToInt32());
      break;
    case VariantType::kDouble:
      rc = sqlite3_bind_double(statement, index, value.dbl());
      break;
    case VariantType::kDate: {
      std::string text = IsoText(value.date());
      rc = sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
      break;
    }
    case VariantType::kText:
      rc = sqlite3_bind_text(statement, index, value.text().c_str(),
                             static_cast<int>(value.text().size()), SQLITE_TRANSIENT);
      break;
    case VariantType::kObject:
      throw Error("an object cannot be a value of " + what);
  }
  if (rc != SQLITE_OK) Fail("binding value " + std::to_string(index), what);
}

void SqliteBackend::Execute(const QueryShape& shape) {
  sqlite3_stmt* statement = PreparedShape(shape);
  CountStatements();
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) {
    sqlite3_reset(statement);
    Fail("statement", shape.key);
  }
  sqlite3_reset(statement);
}

void SqliteBackend::Check(const QueryShape& shape) { PreparedShape(shape); }

void SqliteBackend::ExecuteNative(const std::string& sql) {
  CountStatements();
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string why = message ? message : "?";
    sqlite3_free(message);
    throw Error("statement failed on " + path_ + ": " + why + " [" + sql + "]");
  }
}

ResultRows SqliteBackend::Query(const QueryShape& shape) {
  ResultRows result;
  QueryEach(shape, result.columns,
            [&result](const std::vector<Variant>& row) { result.rows.push_back(row); });
  return result;
}

void SqliteBackend::QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                              const std::function<void(const std::vector<Variant>& row)>& each) {
  sqlite3_stmt* statement = PreparedShape(shape);
  // The statement is reset however the rows end, a failing visitor included,
  // so that it never holds the file's read lock past this call.
  struct Reset {
    sqlite3_stmt* statement;
    ~Reset() { sqlite3_reset(statement); }
  } reset{statement};
  CountStatements();
  const int count = sqlite3_column_count(statement);
  columns.clear();
  columns.reserve(count);
  for (int i = 0; i < count; ++i) columns.emplace_back(sqlite3_column_name(statement, i));
  std::vector<ColumnKind> kinds(count);
  for (int i = 0; i < count; ++i) kinds[i] = DeclaredKind(statement, i);
  std::vector<Variant> row(count);
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int i = 0; i < count; ++i) row[i] = CellValue(statement, i, kinds[i]);
    each(row);
  }
  if (rc != SQLITE_DONE) Fail("query", shape.key);
}

std::vector<ColumnInfo> SqliteBackend::TableColumns(std::string_view table) {
  std::string sql = "PRAGMA table_info(" + QuotedName(table) + ")";
  sqlite3_stmt* statement = Statement(sql);
  CountStatements();
  std::vector<ColumnInfo> columns;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    columns.push_back(ColumnFromDeclaration(ColumnText(statement, 1), ColumnText(statement, 2)));
  }
  sqlite3_reset(statement);
  if (rc != SQLITE_DONE) Fail("reading the columns of " + std::string(table), sql);
  if (columns.empty()) throw Error("no table " + std::string(table) + " in " + path_);
  return columns;
}

void SqliteBackend::Insert(std::string_view table,
                           const std::vector<std::pair<std::string, Variant>>& values) {
  std::vector<std::string_view> names;
  for (const auto& [name, value] : values) names.push_back(name);
  const std::string sql = InsertSql(table, names);
  sqlite3_stmt* statement = Statement(sql);
  for (size_t i = 0; i < values.size(); ++i) {
    Bind(statement, static_cast<int>(i + 1), values[i].second, sql);
  }
  CountStatements();
  int rc = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (rc != SQLITE_DONE) Fail("saving a row of " + std::string(table), sql);
}

void SqliteBackend::InsertRows(std::string_view table, const std::vector<ColumnInfo>& columns,
                               const RowBatch& rows) {
  if (rows.empty()) return;
  const std::string what = "saving the rows of " + std::string(table);
  std::vector<std::string_view> names;
  for (const ColumnInfo& column : columns) names.push_back(column.name);
  const std::string sql = InsertSql(table, names);
  sqlite3_stmt* statement = Statement(sql);
  // The write lock is taken here, when every row is ready, and not before:
  // other users' runs on the file wait only while the rows are written.
  CountStatements();
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fail(what, "BEGIN IMMEDIATE");
  }
  try {
    rows.ForEach([&](const std::vector<Variant>& row) {
      for (size_t i = 0; i < row.size(); ++i) Bind(statement, static_cast<int>(i + 1), row[i], sql);
      CountStatements();
      int rc = sqlite3_step(statement);
      sqlite3_reset(statement);
      if (rc != SQLITE_DONE) Fail(what, sql);
    });
    CountStatements();
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) Fail(what, "COMMIT");
  } catch (...) {
    // A full disk may have ended the transaction already; otherwise none of
    // the rows may stay.
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

}  // namespace rnt::db
