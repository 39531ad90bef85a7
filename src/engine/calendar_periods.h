#pragma once

#include "engine/host_data.h"
#include "host/company_context.h"
#include "rnt/date.h"
#include "rnt/variant.h"

namespace rnt::engine {

// The item code as the calendar rules group lines by: the same for an item
// read as 101, 101.0 or "101".
std::string PeriodItemKey(const Variant& item);

// Whether a walk writes a line for a movement day: one that changed the
// balance, or, under a calendar rule, one on which pieces went out and came
// back, which that day is charged for.
bool DayMakesALine(const host::CompanyContext& context, const DayMovement& day);

// Gives the run's rent lines the periods of the company's calendar day rule,
// every day from an item's first charged day to the closing day counted once:
// each line charges the days from its movement until the charged pieces
// change again, a day of an issue and a return may get a line of its own,
// and no line charges a day on which the party held nothing. A line that is
// left no day to charge is dropped, except a return's, which stays as a line
// of 0 days (Dte1 and Dte2 its day) so that the statement shows the return.
// Lost and damaged lines stay as they are. Does nothing under "as before".
void ApplyCalendarPeriods(host::CompanyContext& context, Date closing_day);

}  // namespace rnt::engine
