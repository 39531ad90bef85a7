#pragma once

#include "host/company_context.h"
#include "rnt/variant.h"

// Lines for rental items that a party reported lost, or returned damaged, on
// one day: the host marks such voucher lines with description 1 ("Lost"/"L",
// "Damage"/"D") and, for damage, description 2 with the percentage. Each
// procedure writes at most one line for an item, a party and a date, numbered
// by the lost/damage line counter that lives as long as the loaded library.
// Walks call AddDamageLine first, then AddLostLine, once per item and date.
namespace rnt::engine {

// A lost line (RecType 2): the day's lost quantity at the replacement value.
void AddLostLine(host::CompanyContext& context, const Variant& item_code, const Variant& party_code,
                 const Variant& on_date);

// A damage line (RecType 3): the day's damaged quantity, charged per piece at
// the quantity-weighted mean of value × damage percentage ÷ 100, written as
// two-decimal texts.
void AddDamageLine(host::CompanyContext& context, const Variant& item_code,
                   const Variant& party_code, const Variant& on_date);

// The day's damage line, then its lost line: what every walk writes for an
// item's movement day.
void AddDamageAndLostLines(host::CompanyContext& context, const Variant& item_code,
                           const Variant& party_code, const Variant& on_date);

}  // namespace rnt::engine
