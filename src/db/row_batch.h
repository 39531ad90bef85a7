#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "rnt/variant.h"

namespace rnt::db {

// Rows added to a table and not saved yet: the rent lines of a run wait here
// until the run ends, and are then saved together or not at all. Each value
// that is not null is kept as the number of its column, its kind and its
// bytes (a whole number in one to five, another number in eight, a text as its
// length and characters), so that a rent line takes some 150 bytes instead of
// a Variant per column.
class RowBatch {
 public:
  // Adds a row: one value per column, null where the row has none. Every row
  // of a batch has as many values as the first. Throws rnt::Error for an
  // object or a row of another width.
  void Add(const std::vector<Variant>& row);
  // Hands each row to `each` in the order added, one value per column.
  void ForEach(const std::function<void(const std::vector<Variant>& row)>& each) const;

  size_t size() const { return rows_; }
  bool empty() const { return rows_ == 0; }
  // The memory that the rows hold.
  size_t bytes() const { return data_.capacity(); }
  // Drops every row and gives their memory back.
  void Clear();

 private:
  std::string data_;
  size_t rows_ = 0;
  size_t width_ = 0;
};

}  // namespace rnt::db
