#include "engine/rent_line.h"

#include <string>

#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

std::string StepOn(std::string_view what, std::string_view column) {
  return std::string(what) + " " + std::string(column) + " of a rent line";
}

// The stored period bound as a date; nullopt while it is null or empty text,
// which is how a walk leaves a period whose end it could not work out.
std::optional<Date> PeriodBound(const Variant& stored, std::string_view column) {
  if (stored.IsNull()) return std::nullopt;
  const std::string text = stored.ToText();
  if (text.find_first_not_of(" \t") == std::string::npos) return std::nullopt;
  std::optional<Date> date = ParseDateText(text);
  if (!date) throw Error(std::string(column) + " " + Describe(stored) + " is not a date");
  return date;
}

}  // namespace

RentLine::RentLine(host::CompanyContext& context) : context_(context) {
  // Once the database has failed under a line, every later one would fail the
  // same way, each after the busy wait of a locked file: none is tried.
  if (context_.database_lost) return;
  added_ = host::Attempt(
      context_.report, "add a rent line",
      [&] {
        if (!context_.work_table || context_.work_table->State() != ObjectState::kOpen) {
          throw Error("the work table atShut is not open");
        }
        try {
          context_.work_table->AddNew();
        } catch (const DatabaseUnavailable&) {
          context_.database_lost = true;
          throw;
        }
      },
      host::StepKind::kDatabase);
}

void RentLine::Set(std::string_view column, const Variant& value) {
  if (!added_) return;
  host::Attempt(
      context_.report, [&] { return StepOn("set", column); },
      [&] { context_.work_table->SetField(column, value); });
}

Variant RentLine::Get(std::string_view column) const {
  Variant stored = Variant::Null();
  if (!added_) return stored;
  host::Attempt(
      context_.report, [&] { return StepOn("read", column); },
      [&] { stored = context_.work_table->Field(column); });
  return stored;
}

std::optional<double> RentLine::NumberOf(std::string_view column) const {
  Variant stored = Get(column);
  if (stored.IsNull()) return std::nullopt;
  return Val(stored.ToText());
}

void RentLine::SetDaysFromPeriod() {
  if (!added_) return;
  host::Attempt(
      context_.report, [&] { return StepOn("work out", "Days"); },
      [&] {
        std::optional<Date> start = PeriodBound(Get("Dte1"), "Dte1");
        std::optional<Date> end = PeriodBound(Get("Dte2"), "Dte2");
        if (!start || !end) return;
        context_.work_table->SetField("Days", Variant(DaysBetween(*start, *end)));
      });
}

void RentLine::AddToDays(double days) {
  if (!added_) return;
  host::Attempt(
      context_.report, [&] { return StepOn("add to", "Days"); },
      [&] {
        Variant stored = Get("Days");
        if (stored.IsNull()) return;
        context_.work_table->SetField("Days", Variant(stored.ToDouble() + days));
      });
}

void RentLine::SetQtyFromDays(const Variant& rent_quantity) {
  if (!added_) return;
  host::Attempt(
      context_.report, [&] { return StepOn("work out", "Qty"); },
      [&] {
        std::optional<double> days = NumberOf("Days");
        if (!days) return;  // the period had no end: the line keeps no quantity
        if (rent_quantity.IsNull()) throw Error("the rent quantity is null");
        context_.work_table->SetField("Qty", Variant(Val(rent_quantity.ToText()) * *days));
      });
}

void RentLine::SetAmountFromPriceAndQty() {
  if (!added_) return;
  host::Attempt(
      context_.report, [&] { return StepOn("work out", "Qty2"); },
      [&] {
        // A null rate or quantity gives a null amount, which the unset column already is.
        Variant price = Get("Price");
        std::optional<double> quantity = NumberOf("Qty");
        if (price.IsNull() || !quantity) return;
        context_.work_table->SetField("Qty2", Variant(price.ToDouble() * *quantity));
      });
}

void RentLine::Save() {
  if (!added_) return;
  // Saved or lost, the row is done with: later calls must not touch the next one.
  added_ = false;
  host::Attempt(
      context_.report, "save a rent line",
      [&] {
        try {
          const size_t place = context_.work_table->BatchRows();
          context_.work_table->Update();
          if (note_ && context_.work_table->BatchRows() == place + 1) {
            context_.period_notes.emplace_back(place, std::move(*note_));
          }
        } catch (const DatabaseUnavailable&) {
          context_.database_lost = true;
          throw;
        }
      },
      host::StepKind::kDatabase);
}

}  // namespace rnt::engine
