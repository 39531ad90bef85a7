#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/backend.h"
#include "db/connection.h"

namespace rnt::db {

// The platform's cursor and lock settings; accepted as the callers pass them.
// Every record set here reads its rows on the client side.
enum class CursorLocation { kServer = 2, kClient = 3 };
enum class CursorType { kForwardOnly = 0, kKeyset = 1, kDynamic = 2, kStatic = 3 };
enum class LockType { kReadOnly = 1, kPessimistic = 2, kOptimistic = 3, kBatchOptimistic = 4 };

// The rows of one query on a connection, read front to back, and for the
// single-table form "select * from <table>" also a way to add rows: AddNew,
// set columns one by one with the column's own conversion, read them back as
// stored, Update. That form reads the table's rows only when they are asked
// for, so that adding rent lines never reads the lines already there.
//
// Opened with batch-optimistic locking, the single-table form keeps the rows
// that Update saves in a batch instead, until UpdateBatch saves them all in
// one transaction or CancelBatch (or closing) drops them: a run's lines
// become visible together or not at all. Rows in the batch are not among the
// rows read.
class Recordset : public HostRecordset {
 public:
  Recordset() = default;

  // Opens the query on the connection; an open record set is closed first.
  // Throws rnt::Error when the connection is closed or the query fails.
  void Open(std::string_view sql, const Connection& connection,
            CursorType cursor_type = CursorType::kForwardOnly,
            LockType lock_type = LockType::kReadOnly);
  void Close() override;
  // Closed also once the connection it was opened on has been closed.
  ObjectState State() const override;

  // Navigation: throws rnt::Error when the record set is closed.
  bool Eof() override;
  void MoveNext() override;  // throws rnt::Error past the last row
  long RecordCount() override;

  // The value of a column of the current row (of the new row while adding),
  // found by name without regard to letter case. Throws rnt::Error for a
  // closed record set, a name that is not a column, or no current row.
  Variant Field(std::string_view name) override;

  // Adding rows, only for the single-table form.
  void AddNew();
  // Sets a column of the new row with the column's own conversion. Throws
  // rnt::Error, leaving the column as it was, for a value the column cannot take.
  void SetField(std::string_view name, const Variant& value);
  // Saves the new row with one insert, or adds it to the batch. Throws
  // rnt::Error when the insert fails; the new row is then dropped.
  void Update();

  // Batch mode: saves the batch (a pending new row first) in one transaction
  // and empties it. Throws rnt::Error when that fails: then none of its rows
  // is saved, and the batch is dropped all the same.
  void UpdateBatch();
  // Drops the batch and a pending new row.
  void CancelBatch();
  // Rewrites the batch row by row, in order: `rewrite` is handed each row's
  // place and values (one per table column, in TableColumnNames' order) and
  // returns the rows to keep in its place (none, the row, or several), whose
  // values are stored with their columns' own conversion. A pending new row is
  // saved into the batch first. Throws rnt::Error, leaving the batch as it
  // was, when a value cannot be stored.
  void RewriteBatch(const std::function<std::vector<std::vector<Variant>>(
                        size_t place, const std::vector<Variant>& row)>& rewrite);
  // The columns of the single-table form's table, in the table's order.
  std::vector<std::string> TableColumnNames();
  // The rows waiting in the batch, and the memory they take.
  size_t BatchRows() const { return batch_.size(); }
  size_t BatchBytes() const { return batch_.bytes(); }

 private:
  void RequireOpen() const;
  void FetchRows();
  // The number of a column of the table among table_columns_.
  size_t TableColumn(std::string_view name);

  std::shared_ptr<Backend> LockBackend() const;

  // Not owned: closing the connection ends the backend and with it this record set.
  std::weak_ptr<Backend> backend_;
  QueryShape shape_;
  std::optional<std::string> table_;  // the table of the single-table form
  bool open_ = false;
  bool fetched_ = false;
  ResultRows rows_;
  size_t position_ = 0;
  std::vector<ColumnInfo> table_columns_;
  // The row being added, or added last: a value per table column, null where unset.
  std::optional<std::vector<Variant>> new_row_;
  bool adding_ = false;
  bool batch_mode_ = false;
  RowBatch batch_;
};

}  // namespace rnt::db
