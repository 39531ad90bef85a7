#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rnt/host.h"
#include "rnt/variant.h"

namespace rnt::engine {

// A party's voucher lines marked lost or damaged in one year, read once, from
// which the lines of any item and day are given exactly as the lost and
// damaged items queries return them (the same columns, in their order): one
// read instead of two queries for every movement day.
class PartyMarkedLines {
 public:
  // What a lookup selects: the lost lines ('Lost', 'L') or the damaged ones
  // ('Damage', 'D').
  enum class Kind { kLost, kDamaged };

  // The query that reads a party's marked lines, in the host's dialect.
  static std::string Query(std::string_view party_code);

  // Takes the rows of Query(). Nullopt when a row holds an item or a day that
  // a lookup could not match exactly: then ask the database.
  static std::optional<PartyMarkedLines> FromRows(HostRecordset& rows);

  // The marked lines of the item on the day, as a record set with the
  // columns vchcode, desc1, dsc2, value1, value2, MasterCode1, Cm1.
  std::shared_ptr<HostRecordset> Lines(Kind kind, int32_t item, int32_t day_serial) const;

 private:
  std::map<std::pair<int32_t, int32_t>, std::vector<std::vector<Variant>>> lines_;  // item, day
};

// Rows held in memory, handed out front to back like a host's record set.
class RowsRecordset : public HostRecordset {
 public:
  RowsRecordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}

  bool Eof() override;
  void MoveNext() override;
  long RecordCount() override;
  Variant Field(std::string_view name) override;
  ObjectState State() const override { return open_ ? ObjectState::kOpen : ObjectState::kClosed; }
  void Close() override { open_ = false; }

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  size_t current_ = 0;
  bool open_ = true;
};

}  // namespace rnt::engine
