#pragma once

#include <cstdint>
#include <string_view>

#include "db/connection.h"
#include "rnt/date.h"

namespace rnt::refhost {

// Records the user's current rent lines in atShut as the party's rent voucher
// dated on the rent date, so that the party's next rent run continues from
// it and charges from the rent date on. In one transaction it writes the
// Tran1 row (VchType 9, VchNo "RENT-<VchCode>"), its VchOtherInfo row (OF1
// the user, OF2 'Rental') and, for each item still with the party, a Tran2
// line (RecType 7, Value1 the quantity) with its ItemDesc row: Desc6 the
// quantity carried forward, Desc11 and Desc12 the challan number and date of
// the item's latest movement. Items returned in full carry nothing and are
// left out. The new VchCode follows every voucher code in use.
//
// The rent lines do not name their party: the caller makes sure that the
// user's lines were calculated for this party.
//
// Returns the new VchCode. Throws rnt::Error naming the party and the rent
// date, with nothing written, when the user has no rent lines, when the lines
// were calculated for another rent date (they do not end on the day before
// it), or when the party already has a rent voucher on or after the rent
// date; and naming the statement when the database fails.
std::int32_t PostRentVoucher(db::Connection& company, std::int32_t party_code, Date rent_date,
                             std::string_view user_name);

}  // namespace rnt::refhost
