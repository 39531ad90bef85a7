#pragma once

#include <optional>
#include <string_view>

#include "engine/day_rule.h"
#include "host/company_context.h"
#include "rnt/variant.h"

namespace rnt::engine {

// One rent line being written through the run's work-table record set: added,
// its columns set one by one in the writer's order, read back as the table
// stores them, and saved. The computed columns (Days, Qty, Qty2) are always
// worked out from what was read back, so a value the table rounds or refuses
// is what the line's arithmetic sees.
//
// Saving a line adds it to the work table's batch, which the run saves whole
// when it ends (a work table opened without a batch saves it at once).
//
// A column that cannot be set stays null and the line is still saved; a line
// that cannot be added sets nothing and saves nothing; a save that fails loses
// that one line. Each such failure goes into the run report and the writer
// goes on, except after the database itself failed under an add or a save
// (rnt::DatabaseUnavailable): then no later line of the run is tried.
class RentLine {
 public:
  explicit RentLine(host::CompanyContext& context);
  RentLine(const RentLine&) = delete;
  RentLine& operator=(const RentLine&) = delete;

  void Set(std::string_view column, const Variant& value);
  // The column as stored; null when it is unset, or when the line could not be
  // added or has been saved.
  Variant Get(std::string_view column) const;
  // The leading number of the stored column's text (Val); nullopt while the
  // column is null, since a null cannot be turned into text.
  std::optional<double> NumberOf(std::string_view column) const;

  // Days := whole days from the stored Dte1 to the stored Dte2. Skipped, Days
  // keeping its value, when either is not a date.
  void SetDaysFromPeriod();
  // Days := stored Days + days; a null Days stays null.
  void AddToDays(double days);
  // Qty := Val(rent quantity) × Val(stored Days); skipped when either is null.
  void SetQtyFromDays(const Variant& rent_quantity);
  // Qty2 := stored Price × Val(stored Qty); skipped when either is null.
  void SetAmountFromPriceAndQty();

  // What the calendar day rules are to know of the line once it is saved.
  void Note(PeriodNote note) { note_ = std::move(note); }

  // Saves the line; every later call on it does nothing.
  void Save();

 private:
  host::CompanyContext& context_;
  bool added_ = false;
  std::optional<PeriodNote> note_;
};

}  // namespace rnt::engine
