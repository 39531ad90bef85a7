#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "rnt/date.h"

namespace rnt::refhost {

// A voucher line on which the host recorded pieces of an item as lost or as
// returned damaged: where a statement's lost and damage lines come from.
struct MarkedPiece {
  std::int32_t item = 0;
  bool lost = false;  // else damaged
  Date date;
  std::string challan;  // the voucher's number; empty when the host gave none
  double quantity = 0;
  double percent = 0;                 // of the piece's value, for damaged pieces
  std::optional<double> piece_value;  // the party's value of one piece of the item
};

// The party's marked voucher lines in the company's file dated from `first`
// to `last`, ordered by item, date and voucher: the lines marked 'Lost' or
// 'L', 'Damage' or 'D' in ItemDesc.Desc1, the damage percentage read from
// Desc2. The challan is the line's VchNo, else the number of the voucher's
// stock entries. The piece value is the party's own at_PartyPriceConfig
// Value3 for the item, the one the lost and damage lines charge. A period
// that began in the previous year reads that year's marked lines too, from
// `previous_year` when given, first: a run charges the pieces marked on a
// previous-year challan as it charges the current year's, at the current
// year's values. Throws rnt::Error when the tables cannot be read.
std::vector<MarkedPiece> ReadMarkedPieces(db::Connection& company, std::int32_t party_code,
                                          Date first, Date last,
                                          db::Connection* previous_year = nullptr);

}  // namespace rnt::refhost
