#include "db/postgres_backend.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <optional>
#include <pqxx/pqxx>

#include "core/text_util.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::db {
namespace {

// As for SQLite: past this many statements something builds shapes without
// end, and starting afresh bounds the server's memory for the session.
constexpr size_t kMaxCachedStatements = 512;

// Type identifiers of the server's built-in types that cells are read by.
constexpr pqxx::oid kInt8Type = 20;
constexpr pqxx::oid kInt2Type = 21;
constexpr pqxx::oid kInt4Type = 23;
constexpr pqxx::oid kFloat4Type = 700;
constexpr pqxx::oid kFloat8Type = 701;
constexpr pqxx::oid kDateType = 1082;
constexpr pqxx::oid kNumericType = 1700;

// One "key='value'" setting of a libpq connection text.
std::string Setting(std::string_view key, std::string_view value) {
  std::string setting(key);
  setting += "='";
  for (char c : value) {
    if (c == '\\' || c == '\'') setting += '\\';
    setting += c;
  }
  return setting + "' ";
}

// The first line of a server's or libpq's message, blanks collapsed: the rest
// (the statement's text with a caret, a hint to check the server) adds nothing
// to a one-line report.
std::string Reason(const std::exception& error) {
  std::string_view message = error.what();
  message = message.substr(0, message.find('\n'));
  std::string reason;
  for (char c : TrimBlanks(message)) {
    if ((c == ' ' || c == '\t') && !reason.empty() && reason.back() == ' ') continue;
    reason += c == '\t' ? ' ' : c;
  }
  return reason;
}

// Runs one step on the server; its failures become rnt::Error naming what was
// done on which catalogue, a lost connection as such.
template <typename Step>
auto Guarded(const std::string& where, std::string_view what, std::string_view sql, Step&& step) {
  try {
    return step();
  } catch (const Error&) {
    throw;
  } catch (const pqxx::broken_connection& error) {
    throw DatabaseUnavailable(std::string(what) + " failed: the connection to " + where +
                              " is lost: " + Reason(error));
  } catch (const pqxx::sql_error& error) {
    // Connection failures (08), the server stopping the session (57) and a
    // full disk or memory (53) fail the database, not the statement.
    std::string state = error.sqlstate();
    if (state.rfind("08", 0) == 0 || state.rfind("57", 0) == 0 || state.rfind("53", 0) == 0) {
      throw DatabaseUnavailable(std::string(what) + " failed on " + where + ": " + Reason(error));
    }
    throw Error(std::string(what) + " failed on " + where + ": " + Reason(error) + " [" +
                std::string(sql) + "]");
  } catch (const std::exception& error) {
    throw Error(std::string(what) + " failed on " + where + ": " + Reason(error) + " [" +
                std::string(sql) + "]");
  }
}

std::string IsoText(Date date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year(), date.month(), date.day());
  return text;
}

// A value as the text the server reads it from; nullopt for SQL null.
std::optional<std::string> ParameterText(const Variant& value, std::string_view what) {
  switch (value.type()) {
    case VariantType::kEmpty:
    case VariantType::kNull:
      return std::nullopt;
    case VariantType::kInt16:
    case VariantType::kInt32:
      return std::to_string(value.ToInt32());
    case VariantType::kDouble: {
      // 17 significant digits give back the very double on the server.
      char text[32];
      auto [end, error] =
          std::to_chars(text, text + sizeof text, value.dbl(), std::chars_format::general, 17);
      return std::string(text, end);
    }
    case VariantType::kDate:
      return IsoText(value.date());
    case VariantType::kText:
      return value.text();
    case VariantType::kObject:
      break;
  }
  throw Error("an object cannot be a value of " + std::string(what));
}

// The kinds of a shape's values, which the translation casts its markers by.
std::string ValueKinds(const std::vector<Variant>& values) {
  std::string kinds;
  for (const Variant& value : values) {
    switch (value.type()) {
      case VariantType::kInt16:
      case VariantType::kInt32:
        kinds += 'i';
        break;
      case VariantType::kDouble:
        kinds += 'f';
        break;
      case VariantType::kDate:
        kinds += 'd';
        break;
      case VariantType::kText:
        kinds += 't';
        break;
      default:
        kinds += 'n';
    }
  }
  return kinds;
}

// One cell by its column's type, as the SQLite backend reads the same column:
// dates as dates, whole numbers as 32-bit integers (doubles when they do not
// fit), other numbers as doubles, the rest as text.
Variant CellValue(const pqxx::field& field, pqxx::oid type) {
  if (field.is_null()) return Variant::Null();
  std::string_view text(field.c_str(), field.size());
  const char* end = text.data() + text.size();
  switch (type) {
    case kInt2Type:
    case kInt4Type:
    case kInt8Type: {
      int64_t number = 0;
      auto [stop, error] = std::from_chars(text.data(), end, number);
      if (error != std::errc() || stop != end) break;
      if (number < std::numeric_limits<int32_t>::min() ||
          number > std::numeric_limits<int32_t>::max()) {
        return Variant(static_cast<double>(number));
      }
      return Variant(static_cast<int32_t>(number));
    }
    case kFloat4Type:
    case kFloat8Type:
    case kNumericType: {
      double number = 0;
      auto [stop, error] = std::from_chars(text.data(), end, number);
      if (error != std::errc() || stop != end) break;
      return Variant(number);
    }
    case kDateType:
      if (std::optional<Date> date = ParseDateText(text)) return Variant(*date);
      break;
    default:
      break;
  }
  return Variant(std::string(text));
}

ColumnKind KindOfType(std::string_view type) {
  if (type == "double precision" || type == "real" || type == "numeric") return ColumnKind::kFloat;
  if (type == "integer" || type == "bigint" || type == "smallint") return ColumnKind::kInteger;
  if (type == "character varying" || type == "character" || type == "text") {
    return ColumnKind::kText;
  }
  if (type == "date") return ColumnKind::kDate;
  return ColumnKind::kOther;
}

// The cast that makes a value's text the type of a column it is saved in; a
// column of another type reads the text by its own type.
std::string_view CastFor(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::kFloat:
      return "::double precision";
    case ColumnKind::kInteger:
      return "::integer";
    case ColumnKind::kText:
      return "::text";
    case ColumnKind::kDate:
      return "::date";
    case ColumnKind::kOther:
      break;
  }
  return "";
}

// Names are kept in lower case on the server, as the translation writes them.
std::string QuotedName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : ToLower(name)) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A shape's statement is cached under its key and the kinds of its values,
// because the translation casts each marker by its value's kind.
std::string ShapeKey(const QueryShape& shape) {
  return shape.key + '\x1f' + ValueKinds(shape.params);
}

// The key of the prepared insert of a table's columns; readable in messages,
// and like no shape's key, as those end in the kinds of their values.
std::string InsertKey(std::string_view table, const std::vector<ColumnInfo>& columns) {
  std::string key = "insert into " + ToLower(table) + " (";
  for (size_t i = 0; i < columns.size(); ++i) key += (i > 0 ? "," : "") + ToLower(columns[i].name);
  return key + ')';
}

std::vector<std::optional<std::string>> ParameterTexts(const QueryShape& shape) {
  std::vector<std::optional<std::string>> texts;
  texts.reserve(shape.params.size());
  for (const Variant& value : shape.params) texts.push_back(ParameterText(value, shape.key));
  return texts;
}

void VisitRows(const pqxx::result& result, std::vector<std::string>& columns,
               const std::function<void(const std::vector<Variant>& row)>& each) {
  const auto count = result.columns();
  std::vector<pqxx::oid> types;
  columns.clear();
  for (pqxx::row::size_type i = 0; i < count; ++i) {
    columns.emplace_back(result.column_name(i));
    types.push_back(result.column_type(i));
  }
  std::vector<Variant> row(count);
  for (const pqxx::row& source : result) {
    for (pqxx::row::size_type i = 0; i < count; ++i) row[i] = CellValue(source[i], types[i]);
    each(row);
  }
}

}  // namespace

// The server connection; kept out of the header so that pqxx stays inside the backend.
class PostgresBackend::Session {
 public:
  explicit Session(const std::string& options) : connection(options) {}

  pqxx::result Run(const std::string& name, const std::vector<std::optional<std::string>>& texts) {
    std::vector<const char*> values;
    values.reserve(texts.size());
    for (const auto& text : texts) values.push_back(text ? text->c_str() : nullptr);
    pqxx::nontransaction work(connection);
    return work.exec_prepared(name, pqxx::prepare::make_dynamic_params(values));
  }

  pqxx::connection connection;
};

PostgresBackend::PostgresBackend(const std::string& host, int port, const std::string& database,
                                 const std::string& user, const std::string& password)
    : where_("catalogue '" + database + "' on server '" + host + ":" + std::to_string(port) + "'") {
  std::string options =
      Setting("host", host) + Setting("port", std::to_string(port)) + Setting("dbname", database) +
      Setting("connect_timeout", std::to_string(kConnectTimeoutSeconds)) +
      Setting("application_name", "rnt0417") + Setting("client_encoding", "UTF8") +
      // Dates come back as ISO text, doubles in full, and
      // notices such as "table exists, skipping" stay unprinted.
      Setting("options",
              "-c DateStyle=ISO -c extra_float_digits=3 "
              "-c client_min_messages=warning") +
      // A server that stops answering mid-session is noticed
      // by the operating system within a minute or so.
      Setting("keepalives", "1") + Setting("keepalives_idle", "30") +
      Setting("keepalives_interval", "10") + Setting("keepalives_count", "3");
  if (!user.empty()) options += Setting("user", user);
  if (!password.empty()) options += Setting("password", password);
  try {
    session_ = std::make_unique<Session>(options);
  } catch (const std::exception& error) {
    throw Error("cannot open " + where_ + ": " + Reason(error));
  }
}

PostgresBackend::~PostgresBackend() = default;

const std::string& PostgresBackend::Prepared(const std::string& key, const std::string& sql) {
  auto found = statements_.find(key);
  if (found != statements_.end()) return found->second;
  if (statements_.size() >= kMaxCachedStatements) {
    while (!statements_.empty()) Forget(statements_.begin()->first);
  }
  std::string name = "rnt_" + std::to_string(++statements_made_);
  CountStatements();
  Guarded(where_, "statement", sql, [&] {
    try {
      session_->connection.prepare(name, sql);
      session_->connection.prepare_now(name);
    } catch (...) {
      try {
        session_->connection.unprepare(name);
      } catch (const std::exception&) {
        // The failure to prepare is the one to report.
      }
      throw;
    }
  });
  return statements_.emplace(key, std::move(name)).first->second;
}

void PostgresBackend::Forget(const std::string& key) {
  auto found = statements_.find(key);
  if (found == statements_.end()) return;
  try {
    session_->connection.unprepare(found->second);
  } catch (const std::exception&) {
    // A statement that the server has lost already needs no dropping.
  }
  statements_.erase(found);
}

// Translation is done once per shape and kinds of values; later queries of the
// shape only send their values.
void PostgresBackend::RunEach(const QueryShape& shape, std::string_view what,
                              std::vector<std::string>& columns,
                              const std::function<void(const std::vector<Variant>& row)>& each) {
  const std::string key = ShapeKey(shape);
  const auto texts = ParameterTexts(shape);
  for (int attempt = 1;; ++attempt) {
    const std::string name = statements_.contains(key)
                                 ? statements_.at(key)
                                 : Prepared(key, TranslateShape(shape, Dialect::kPostgres));
    std::optional<pqxx::result> result =
        Guarded(where_, what, shape.key, [&]() -> std::optional<pqxx::result> {
          CountStatements();
          try {
            return session_->Run(name, texts);
          } catch (const pqxx::feature_not_supported&) {
            // The server refuses a statement whose result columns changed
            // since it was prepared ("select *" over a work table that has
            // gained columns): it is prepared anew, once.
            if (attempt > 1) throw;
            return std::nullopt;
          }
        });
    if (result) {
      VisitRows(*result, columns, each);
      return;
    }
    Forget(key);
  }
}

void PostgresBackend::Execute(const QueryShape& shape) {
  std::vector<std::string> columns;
  RunEach(shape, "statement", columns, [](const std::vector<Variant>&) {});
}

void PostgresBackend::Check(const QueryShape& shape) {
  const std::string key = ShapeKey(shape);
  if (!statements_.contains(key)) Prepared(key, TranslateShape(shape, Dialect::kPostgres));
}

ResultRows PostgresBackend::Query(const QueryShape& shape) {
  ResultRows result;
  RunEach(shape, "query", result.columns,
          [&result](const std::vector<Variant>& row) { result.rows.push_back(row); });
  return result;
}

void PostgresBackend::QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                                const std::function<void(const std::vector<Variant>& row)>& each) {
  RunEach(shape, "query", columns, each);
}

void PostgresBackend::ExecuteNative(const std::string& sql) {
  CountStatements();
  Guarded(where_, "statement", sql, [&] {
    pqxx::nontransaction work(session_->connection);
    work.exec(sql);
  });
}

std::vector<ColumnInfo> PostgresBackend::TableColumns(std::string_view table) {
  static constexpr std::string_view kColumnsSql =
      "select column_name, data_type, character_maximum_length from information_schema.columns "
      "where table_schema = current_schema() and table_name = $1 order by ordinal_position";
  const std::string sql(kColumnsSql);
  const std::string& name = Prepared(sql, sql);
  std::vector<ColumnInfo> columns =
      Guarded(where_, "reading the columns of " + std::string(table), sql, [&] {
        CountStatements();
        std::vector<ColumnInfo> found;
        for (const pqxx::row& row : session_->Run(name, {ToLower(table)})) {
          ColumnInfo column{row[0].c_str(), KindOfType(row[1].c_str()), 0};
          if (!row[2].is_null()) {
            column.max_length = row[2].as<int>();
          }
          found.push_back(std::move(column));
        }
        return found;
      });
  if (columns.empty()) throw Error("no table " + std::string(table) + " in " + where_);
  return columns;
}

const std::string& PostgresBackend::InsertStatement(std::string_view table,
                                                    const std::vector<ColumnInfo>& columns) {
  const std::string key = InsertKey(table, columns);
  std::string sql;
  if (!statements_.contains(key)) {
    std::string names;
    std::string markers;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) {
        names += ',';
        markers += ',';
      }
      names += QuotedName(columns[i].name);
      markers += '$' + std::to_string(i + 1) + std::string(CastFor(columns[i].kind));
    }
    sql = columns.empty()
              ? "insert into " + QuotedName(table) + " default values"
              : "insert into " + QuotedName(table) + " (" + names + ") values (" + markers + ")";
  }
  return Prepared(key, sql);
}

void PostgresBackend::Insert(std::string_view table,
                             const std::vector<std::pair<std::string, Variant>>& values) {
  std::vector<ColumnInfo> named;
  for (const auto& [name, value] : values) named.push_back({name, ColumnKind::kOther, 0});
  // The columns' kinds are needed only to prepare the statement.
  if (!named.empty() && !statements_.contains(InsertKey(table, named))) {
    const std::vector<ColumnInfo> columns = TableColumns(table);
    for (ColumnInfo& wanted : named) {
      auto column = std::find_if(columns.begin(), columns.end(), [&](const ColumnInfo& c) {
        return EqualsIgnoringCase(c.name, wanted.name);
      });
      if (column == columns.end()) {
        throw Error("no column " + wanted.name + " in table " + std::string(table));
      }
      wanted = *column;
    }
  }
  const std::string name = InsertStatement(table, named);
  std::vector<std::optional<std::string>> texts;
  texts.reserve(values.size());
  for (const auto& [column, value] : values) texts.push_back(ParameterText(value, column));
  CountStatements();
  Guarded(where_, "saving a row of " + std::string(table), name,
          [&] { session_->Run(name, texts); });
}

std::optional<std::string> PostgresBackend::BatchFunction(std::string_view table,
                                                          const std::vector<ColumnInfo>& columns) {
  const std::string key = InsertKey(table, columns);
  if (auto made = batch_functions_.find(key); made != batch_functions_.end()) return made->second;
  const std::string number = std::to_string(batch_functions_.size() + 1);
  const std::string row_type = "pg_temp.rnt_row_" + number;
  const std::string name = "pg_temp.rnt_add_rows_" + number;
  std::string fields, names, values;
  for (size_t i = 0; i < columns.size(); ++i) {
    const std::string column = QuotedName(columns[i].name);
    std::string_view cast = CastFor(columns[i].kind);
    // A column of a kind not known here takes the value's text, as a
    // prepared insert hands it over.
    std::string_view type = cast.empty() ? "text" : cast.substr(2);
    fields += (i > 0 ? ", " : "") + column + " " + std::string(type);
    names += (i > 0 ? "," : "") + column;
    values += (i > 0 ? "," : "") + std::string("r.") + column;
  }
  // The rows come as one array of a row type of the batch's columns, which
  // the server reads in one go; one insert per row then keeps each row's
  // command number, and with it the row's place among the others, as a
  // prepared insert per row would.
  std::optional<std::string> made;
  try {
    ExecuteNative("create type " + row_type + " as (" + fields + ")");
    ExecuteNative("create function " + name + "(v " + row_type + "[]) returns integer " +
                  "language plpgsql as $rnt$ declare r " + row_type +
                  "; begin foreach r in array v loop insert into " + QuotedName(table) + " (" +
                  names + ") values (" + values +
                  "); end loop; return coalesce(array_length(v, 1), 0); end $rnt$");
    made = name;
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    // a login without the right to make temporary objects adds row by row
  }
  return batch_functions_.emplace(key, made).first->second;
}

namespace {

// Appends `text` to a literal in double quotes, with each double quote and
// backslash escaped by a backslash: the quoting of an array's element and of
// a row's field alike.
void AppendQuoted(std::string& literal, std::string_view text) {
  literal += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') literal += '\\';
    literal += c;
  }
  literal += '"';
}

// A row as an element of an array of a row type: "(field,field,...)", with
// nothing between the commas for SQL null.
void AppendRowElement(std::string& literal, const std::vector<std::optional<std::string>>& row) {
  std::string fields = "(";
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) fields += ',';
    if (row[i]) AppendQuoted(fields, *row[i]);
  }
  fields += ')';
  AppendQuoted(literal, fields);
}

}  // namespace

void PostgresBackend::InsertRows(std::string_view table, const std::vector<ColumnInfo>& columns,
                                 const RowBatch& rows) {
  if (rows.empty()) return;
  const std::optional<std::string> function = BatchFunction(table, columns);
  const std::string name = function ? std::string() : InsertStatement(table, columns);
  // The rows go kRowsPerCall to a message: to the session's function as one
  // array, or, without it, as a prepared insert each, so that each row keeps
  // its command number in the transaction and with it its place among the
  // others (rows of one statement share one, and their places in the table's
  // pages need not follow the order they came in when other users add rows
  // at the same time).
  Guarded(where_, "saving the rows of " + std::string(table),
          function ? "select " + *function : "execute " + name, [&] {
            pqxx::work work(session_->connection);
            CountStatements();
            std::string message;
            size_t in_message = 0;
            auto send = [&] {
              if (function) {
                message = "select " + *function + "(" + work.quote("{" + message + "}") + ")";
                CountStatements();
              } else {
                CountStatements(in_message);
              }
              work.exec(message);
              message.clear();
              in_message = 0;
            };
            std::vector<std::optional<std::string>> texts(columns.size());
            rows.ForEach([&](const std::vector<Variant>& row) {
              for (size_t i = 0; i < row.size(); ++i) {
                texts[i] = ParameterText(row[i], columns[i].name);
              }
              if (function) {
                if (!message.empty()) message += ',';
                AppendRowElement(message, texts);
              } else {
                message += "execute " + name + "(";
                for (size_t i = 0; i < texts.size(); ++i) {
                  if (i > 0) message += ',';
                  message += texts[i] ? work.quote(*texts[i]) : "null";
                }
                message += ");";
              }
              if (++in_message == kRowsPerCall) send();
            });
            if (in_message > 0) send();
            CountStatements();
            work.commit();
          });
}

}  // namespace rnt::db
