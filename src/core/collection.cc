#include "rnt/collection.h"

#include <string>

#include "rnt/error.h"

namespace rnt {

// Out of line: GCC 12 with -O2 and the address sanitizer warns falsely about the
// moved variant when this is inlined into callers.
void Collection::Add(Variant item) { items_.push_back(std::move(item)); }

void Collection::Set(int position, Variant item) {
  if (position < 1) throw Error("not a collection position: " + std::to_string(position));
  if (position > Count()) items_.resize(position);
  items_[position - 1] = std::move(item);
}

const Variant& Collection::Item(int position) const {
  if (!Has(position)) {
    throw Error("no item " + std::to_string(position) + " in a collection of " +
                std::to_string(Count()));
  }
  return items_[position - 1];
}

}  // namespace rnt
