#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/queries.h"
#include "rnt/date.h"
#include "rnt/host.h"
#include "rnt/variant.h"

namespace rnt::engine {

// What a day's totals are restricted to, beside the party, the item and the
// day: the query family's own condition.
struct DayTotalsFilter {
  enum class Kind {
    kWholeDay,   // every issue and return of the day
    kReference,  // only the stock entries of one reference code (also on the row itself)
    kChallan,    // issues and returns under one challan number, as stored
    kLookAhead,  // issues under one challan number compared without leading blanks
  };
  Kind kind = Kind::kWholeDay;
  Variant reference;    // kReference: the RefCode
  std::string challan;  // kChallan, kLookAhead: the number compared with [No]
  queries::OpeningEntries openings = queries::OpeningEntries::kCounted;
};

// The one row a day-total query returns: the item and party, the day's
// issues (a1) and returns (a2), each null when nothing matched.
struct DayTotalsRow {
  Variant master_code1;
  Variant master_code2;
  Variant a1;
  Variant a2;
};

// A party's stock entries (Tran3 rows) of one year, read once, from which
// the totals of any of its items on any day are worked out exactly as the
// day-total queries would give them: one read instead of a query for every
// movement day. It holds only what those queries look at.
class PartyStock {
 public:
  // The query that reads a party's stock entries, in the host's dialect.
  static std::string Query(std::string_view party_code);

  // Takes the rows of Query(). Nullopt when a row holds something the
  // queries would compare in a way this cannot repeat exactly (an item code
  // or a day that is not a plain number or date): then ask the database.
  static std::optional<PartyStock> FromRows(HostRecordset& rows);

  // The day-total query's row for the item on the day; nullopt when the
  // query would return no row (no stock entry of the item that day at all,
  // or none of the reference code).
  std::optional<DayTotalsRow> DayTotals(Date day, int32_t item,
                                        const DayTotalsFilter& filter) const;

 private:
  // One stock entry, with what the queries compare and add: each number as
  // it is compared, NaN where the column holds no number (a null, a text),
  // which equals no number as the database's comparison does.
  struct Entry {
    int32_t item;
    int32_t day;  // serial
    double vch_type;
    double vch_code;
    double tran_type;
    double reference;
    double value;                        // Value1
    std::optional<std::string> challan;  // [No], when it is a text
  };
  static bool ItemThenDay(const Entry& a, const Entry& b);

  Variant party_;
  std::vector<Entry> entries_;  // by item and day, each day's in the order read
};

}  // namespace rnt::engine
