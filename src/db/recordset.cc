#include "db/recordset.h"

#include <sstream>
#include <utility>

#include "core/text_util.h"
#include "db/column_conversion.h"
#include "rnt/error.h"

namespace rnt::db {
namespace {

// The table of the single-table form "select * from <table>", if the key is it.
std::optional<std::string> SingleTable(const std::string& key) {
  std::istringstream words(key);
  std::string select, star, from, table, rest;
  words >> select >> star >> from >> table;
  if (!EqualsIgnoringCase(select, "select") || star != "*" || !EqualsIgnoringCase(from, "from") ||
      table.empty() || (words >> rest)) {
    return std::nullopt;
  }
  if (table.size() > 2 && table.front() == '[' && table.back() == ']') {
    table = table.substr(1, table.size() - 2);
  }
  return table;
}

bool IsHelperColumn(std::string_view name) {
  return name.substr(0, kHelperColumnPrefix.size()) == kHelperColumnPrefix;
}

// Drops the columns that the translator added for its own use.
void HideHelperColumns(ResultRows& rows) {
  for (size_t i = rows.columns.size(); i-- > 0;) {
    if (!IsHelperColumn(rows.columns[i])) continue;
    rows.columns.erase(rows.columns.begin() + i);
    for (auto& row : rows.rows) row.erase(row.begin() + i);
  }
}

}  // namespace

void Recordset::Open(std::string_view sql, const Connection& connection, CursorType /*cursor_type*/,
                     LockType lock_type) {
  Close();
  std::shared_ptr<Backend> backend = connection.backend();
  QueryShape shape = ShapeQuery(sql);
  std::optional<std::string> table = SingleTable(shape.key);
  if (table) {
    // Rows are read only when asked for: the work table is opened to add rows.
    backend->Check(shape);
  } else {
    rows_ = backend->Query(shape);
    HideHelperColumns(rows_);
    fetched_ = true;
  }
  shape_ = std::move(shape);
  batch_mode_ = table && lock_type == LockType::kBatchOptimistic;
  table_ = std::move(table);
  backend_ = backend;
  open_ = true;
}

void Recordset::Close() {
  backend_.reset();
  shape_ = QueryShape();
  table_.reset();
  open_ = false;
  fetched_ = false;
  rows_ = ResultRows();
  position_ = 0;
  table_columns_.clear();
  new_row_.reset();
  adding_ = false;
  batch_mode_ = false;
  batch_.Clear();
}

ObjectState Recordset::State() const {
  return open_ && !backend_.expired() ? ObjectState::kOpen : ObjectState::kClosed;
}

std::shared_ptr<Backend> Recordset::LockBackend() const {
  std::shared_ptr<Backend> backend = backend_.lock();
  if (!open_ || !backend) throw Error("the record set is closed");
  return backend;
}

void Recordset::RequireOpen() const { LockBackend(); }

void Recordset::FetchRows() {
  if (fetched_) return;
  rows_ = LockBackend()->Query(shape_);
  HideHelperColumns(rows_);
  fetched_ = true;
  position_ = 0;
}

bool Recordset::Eof() {
  RequireOpen();
  FetchRows();
  return position_ >= rows_.rows.size();
}

void Recordset::MoveNext() {
  if (Eof()) throw Error("cannot move past the last row of: " + shape_.key);
  // Rows are read front to back only, so a row left behind is never read
  // again: its values go, and a long list (a year of a party's movements)
  // shrinks as its reader copies it out instead of being held twice.
  std::vector<Variant>().swap(rows_.rows[position_]);
  ++position_;
}

long Recordset::RecordCount() {
  RequireOpen();
  FetchRows();
  return static_cast<long>(rows_.rows.size());
}

Variant Recordset::Field(std::string_view name) {
  RequireOpen();
  if (new_row_) return (*new_row_)[TableColumn(name)];
  FetchRows();
  for (size_t i = 0; i < rows_.columns.size(); ++i) {
    if (!EqualsIgnoringCase(rows_.columns[i], name)) continue;
    if (position_ >= rows_.rows.size()) {
      throw Error("no current row to read " + std::string(name) + " from: " + shape_.key);
    }
    return rows_.rows[position_][i];
  }
  throw Error("no column " + std::string(name) + " in: " + shape_.key);
}

size_t Recordset::TableColumn(std::string_view name) {
  if (table_columns_.empty()) table_columns_ = LockBackend()->TableColumns(*table_);
  for (size_t i = 0; i < table_columns_.size(); ++i) {
    if (EqualsIgnoringCase(table_columns_[i].name, name)) return i;
  }
  throw Error("no column " + std::string(name) + " in table " + *table_);
}

void Recordset::AddNew() {
  RequireOpen();
  if (!table_) throw Error("rows can be added only to a whole table, not to: " + shape_.key);
  // Adding while a new row is pending saves that row first, as the platform does.
  if (adding_) Update();
  if (table_columns_.empty()) table_columns_ = LockBackend()->TableColumns(*table_);
  new_row_.emplace(table_columns_.size(), Variant::Null());
  adding_ = true;
}

void Recordset::SetField(std::string_view name, const Variant& value) {
  RequireOpen();
  if (!adding_) throw Error("cannot set " + std::string(name) + ": no new row (AddNew first)");
  const size_t column = TableColumn(name);
  (*new_row_)[column] = ConvertForColumn(table_columns_[column], value);
}

void Recordset::Update() {
  std::shared_ptr<Backend> backend = LockBackend();
  if (!adding_) throw Error("nothing to save: no new row (AddNew first)");
  adding_ = false;
  if (batch_mode_) {
    batch_.Add(*new_row_);
    return;
  }
  std::vector<std::pair<std::string, Variant>> values;
  for (size_t i = 0; i < table_columns_.size(); ++i) {
    if (!(*new_row_)[i].IsNull()) values.emplace_back(table_columns_[i].name, (*new_row_)[i]);
  }
  try {
    backend->Insert(*table_, values);
  } catch (...) {
    new_row_.reset();
    throw;
  }
}

void Recordset::UpdateBatch() {
  std::shared_ptr<Backend> backend = LockBackend();
  if (!batch_mode_) throw Error("no batch to save: not opened for batch updates: " + shape_.key);
  if (adding_) Update();
  // Saved or not, the batch is done with: its rows are never saved twice.
  RowBatch rows = std::exchange(batch_, RowBatch());
  backend->InsertRows(*table_, table_columns_, rows);
}

void Recordset::RewriteBatch(const std::function<std::vector<std::vector<Variant>>(
                                 size_t place, const std::vector<Variant>& row)>& rewrite) {
  RequireOpen();
  if (!batch_mode_) throw Error("no batch to rewrite: not opened for batch updates: " + shape_.key);
  if (adding_) Update();
  // Row by row, so that the rows are never all held as values at once.
  RowBatch rewritten;
  size_t place = 0;
  batch_.ForEach([&](const std::vector<Variant>& row) {
    for (std::vector<Variant>& kept : rewrite(place++, row)) {
      if (kept.size() != table_columns_.size()) {
        throw Error("a rewritten row of " + *table_ + " has " + std::to_string(kept.size()) +
                    " values where the table has " + std::to_string(table_columns_.size()) +
                    " columns");
      }
      for (size_t i = 0; i < kept.size(); ++i) {
        kept[i] = ConvertForColumn(table_columns_[i], kept[i]);
      }
      rewritten.Add(kept);
    }
  });
  batch_ = std::move(rewritten);
}

std::vector<std::string> Recordset::TableColumnNames() {
  RequireOpen();
  if (!table_) throw Error("only a whole table has table columns, not: " + shape_.key);
  if (table_columns_.empty()) table_columns_ = LockBackend()->TableColumns(*table_);
  std::vector<std::string> names;
  for (const ColumnInfo& column : table_columns_) names.push_back(column.name);
  return names;
}

void Recordset::CancelBatch() {
  batch_.Clear();
  new_row_.reset();
  adding_ = false;
}

}  // namespace rnt::db
