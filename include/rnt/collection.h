#pragma once

#include <vector>

#include "rnt/variant.h"

namespace rnt {

// The host's collection of values, numbered from 1, as p_Data is passed to
// ActivateDB. Positions that were never filled hold nothing.
class Collection {
 public:
  void Add(Variant item);
  // Puts an item at a 1-based position, growing the collection with empty items.
  void Set(int position, Variant item);
  int Count() const { return static_cast<int>(items_.size()); }
  bool Has(int position) const { return position >= 1 && position <= Count(); }
  // Throws rnt::Error when the position is outside 1..Count().
  const Variant& Item(int position) const;

 private:
  std::vector<Variant> items_;
};

}  // namespace rnt
