#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/query_shape.h"
#include "db/row_batch.h"
#include "rnt/variant.h"

namespace rnt::db {

// How a column of a table takes the values that are set into it.
enum class ColumnKind { kFloat, kInteger, kText, kDate, kOther };

// One column of a table, as the backend declares it.
struct ColumnInfo {
  std::string name;
  ColumnKind kind = ColumnKind::kOther;
  int max_length = 0;  // characters a text column takes; 0 for no limit
};

// The rows of a query, read in full: column names and one Variant per cell
// (DATE columns as dates, INTEGER as 32-bit integers, REAL and FLOAT as
// doubles, TEXT and VARCHAR as text, NULL as null).
struct ResultRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

// One open connection of a database engine. Connection and Recordset are the
// engine-neutral face; a backend does the work in its own dialect and keeps
// its prepared statements by query shape.
class Backend {
 public:
  virtual ~Backend() = default;

  virtual Dialect dialect() const = 0;
  // Runs a statement that returns no rows.
  virtual void Execute(const QueryShape& shape) = 0;
  // Checks that a query can run (its tables and columns exist) without reading rows.
  virtual void Check(const QueryShape& shape) = 0;
  // Runs a query and reads all its rows.
  virtual ResultRows Query(const QueryShape& shape) = 0;
  // Runs a query and hands its rows to `each` one at a time, so that a long
  // list (a party's rent lines) is never held whole; `columns` gets the
  // column names before the first row. `each` must not use this backend
  // while the rows come. This form reads all rows first, as Query does.
  virtual void QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                         const std::function<void(const std::vector<Variant>& row)>& each);
  // The columns of a table in their order; throws rnt::Error if there is no such table.
  virtual std::vector<ColumnInfo> TableColumns(std::string_view table) = 0;
  // Runs a statement written in the backend's own dialect, untranslated: for
  // the host's administration (making a catalogue), never for the add-on's
  // queries.
  virtual void ExecuteNative(const std::string& sql);
  // Adds one row; the columns not named stay null.
  virtual void Insert(std::string_view table,
                      const std::vector<std::pair<std::string, Variant>>& values) = 0;
  // Adds the rows of a batch, whose values are those of `columns` in their
  // order, in one transaction: all of them or, when one fails, none. The
  // table's write lock is taken for that transaction only, so that other
  // users' runs go on while a run makes its lines. The rows keep their order
  // in the table (as the company's own readers find it: SQLite's row numbers,
  // the server's transaction and command numbers).
  virtual void InsertRows(std::string_view table, const std::vector<ColumnInfo>& columns,
                          const RowBatch& rows) = 0;

  // How many statements this connection has had its database run since it
  // was opened or since the last call: each execution of a statement counts,
  // a prepared one each time it runs, and on the server also the preparing,
  // which is a round trip of its own.
  size_t TakeStatementsSent() { return std::exchange(statements_sent_, 0); }

 protected:
  void CountStatements(size_t count = 1) { statements_sent_ += count; }

 private:
  size_t statements_sent_ = 0;
};

}  // namespace rnt::db
