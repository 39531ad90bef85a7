#pragma once

#include "host/company_context.h"
#include "rnt/variant.h"

// What a party pays for an item, from the add-on's rate table
// at_PartyPriceConfig on the company connection (never through the host
// object: the rates are those of the open company, whatever year a walk
// reads). Each lookup opens a record set of its own and answers 0 when its
// query finds no row or fails.
namespace rnt::engine {

// The party's rent rate per unit and day for the item (Value); failing that,
// the rate of the party's rate master; failing that, 0. A null Value of an
// existing row comes back as null.
Variant GetRentRate(host::CompanyContext& context, const Variant& party_code,
                    const Variant& item_code);

// The value of one piece of the item for the party (Value3), or 0. No rate
// master is asked.
Variant GetReplacementRate(host::CompanyContext& context, const Variant& party_code,
                           const Variant& item_code);

// Value3 × the percentage ÷ 100 for a damaged piece, or 0 when the party has
// no row for the item. The product is read back through its text before the
// division, as the platform's number reader does.
Variant GetDamageCharge(host::CompanyContext& context, const Variant& party_code,
                        const Variant& item_code, const Variant& percentage);

}  // namespace rnt::engine
