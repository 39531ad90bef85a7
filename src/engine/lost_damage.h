#pragma once

#include "engine/host_data.h"
#include "host/company_context.h"
#include "rnt/variant.h"

// Lines for rental items that a party reported lost, or returned damaged, on
// one day: the host marks such voucher lines with description 1 ("Lost"/"L",
// "Damage"/"D") and, for damage, description 2 with the percentage. Each
// procedure writes at most one line for an item, a party and a date, numbered
// by the lost/damage line counter that lives as long as the loaded library.
// Walks call AddDamageLine first, then AddLostLine, once per item and date.
//
// The marked lines are read from the year that holds the day: the open
// company's file over the add-on's own connection for the current year, the
// host's previous-year data for a day of the previous year. Rates are always
// the open company's.
namespace rnt::engine {

// A lost line (RecType 2): the day's lost quantity at the replacement value.
void AddLostLine(host::CompanyContext& context, const Variant& item_code, const Variant& party_code,
                 const Variant& on_date, FinancialYear year = FinancialYear::kCurrent);

// A damage line (RecType 3): the day's damaged quantity, charged per piece at
// the quantity-weighted mean of value × damage percentage ÷ 100, written as
// two-decimal texts.
void AddDamageLine(host::CompanyContext& context, const Variant& item_code,
                   const Variant& party_code, const Variant& on_date,
                   FinancialYear year = FinancialYear::kCurrent);

// The day's damage line, then its lost line: what every walk writes for an
// item's movement day.
void AddDamageAndLostLines(host::CompanyContext& context, const Variant& item_code,
                           const Variant& party_code, const Variant& on_date,
                           FinancialYear year = FinancialYear::kCurrent);

}  // namespace rnt::engine
