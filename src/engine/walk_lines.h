#pragma once

#include <string>

#include "engine/continuation_walk.h"
#include "engine/host_data.h"
#include "engine/rent_line.h"
#include "engine/run_values.h"
#include "host/company_context.h"

// Pieces that the continuation's segments share.
namespace rnt::engine {

inline constexpr std::string_view kLineDate = "DD-MM-YYYY";

// The item's movement days after the walk start date up to the closing date,
// in one year's data, each day taken once.
std::vector<MovementRow> ItemMovementList(host::CompanyContext& context, const RunValues& values,
                                          const VoucherItem& item, const Variant& walk_start,
                                          FinancialYear year);

// The first day of the current financial year when the voucher lies in the
// previous year, whose walk carried the item's balance up to that day: its
// opening entries carry the same balance again and stay out of the current
// year's list and totals. Nullopt otherwise.
std::optional<Date> CarriedOpeningDay(host::CompanyContext& context, const RunValues& values);

// The item's movement days of the current year after the walk start date.
// After a previous-year walk that is every day of the year from its first on,
// without the opening entries of that day.
std::vector<MovementRow> CurrentYearMovementList(host::CompanyContext& context,
                                                 const RunValues& values, const VoucherItem& item,
                                                 const Variant& walk_start);

// The lost and damaged pieces of a quiet voucher item on the walk start
// date. On the voucher's own day they are billed only when the item did not
// move that day: a voucher is dated on the last day its bill covered, and
// that bill walked the item's movement days up to it, the returns on which
// pieces came back lost or damaged among them.
void AddWalkStartPieces(host::CompanyContext& context, const RunValues& values,
                        const VoucherItem& item, const Variant& walk_start, FinancialYear year);

// Sets the columns that every line of a voucher item starts with: the
// challan of the voucher line, SrNo, RNo, Uname, and, when the item is
// known, Code1 and Price.
void SetVoucherItemColumns(host::CompanyContext& context, RentLine& line, const VoucherItem& item,
                           const Variant& serial, const std::optional<std::string>& voucher_no,
                           const Variant& item_code, const Variant& party);

// The columns of a movement line of a voucher item up to its period's start:
// the item's columns (named by the day's totals row when it was found), the
// day's P and M, the balances before and after; the walk's balance becomes
// the closing one and, when the day was read, its current item the day's. The
// period starts at the walk's period start, or on the row's own day for the
// first line of a segment without an opening line.
void SetMovementColumns(host::CompanyContext& context, RentLine& line, const VoucherItem& item,
                        const Variant& serial, const MovementRow& row,
                        const std::optional<DayTotals>& day, const Variant& party, WalkState& state,
                        bool starts_on_its_own_day);

// An opening or quiet-item line: the carried quantity charged from `from` to
// `to` at the party's rate, without a day added.
void WriteCarriedLine(host::CompanyContext& context, const RunValues& values,
                      const VoucherItem& item, const WalkState& state, const Variant& serial,
                      const std::optional<std::string>& voucher_no, const Variant& from,
                      const Variant& to, bool with_movement_columns);

// Notes a movement line for the calendar day rules: the row's item and day,
// what the party held before it and what moved.
void NoteMovement(RentLine& line, const MovementRow& row, double before, const DayMovement& day);

// A carried quantity as the walks compare it: the leading number of its text;
// an empty or missing one counts as 0.
double QuantityOf(const Variant& value);

// Sets Dte2 one day earlier, as the line's date text.
void EndOneDayEarlier(RentLine& line);

// The row counter of the company context as a number.
int32_t RowCounter(const host::CompanyContext& context);

}  // namespace rnt::engine
