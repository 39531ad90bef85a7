#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/company_context.h"
#include "rnt/date.h"
#include "rnt/host.h"
#include "rnt/variant.h"

// Reading the host's data for the walks: the year a query runs on, the
// movement lists, the day totals and the financial year.
namespace rnt::engine {

// Which financial year's data a query reads through the host object.
enum class FinancialYear { kPrevious, kCurrent };

// Runs a query through the host object on one year's data. Throws rnt::Error
// when there is no host object or the query fails.
std::shared_ptr<HostRecordset> QueryYear(host::CompanyContext& context, FinancialYear year,
                                         const std::string& sql);

// One row of a movement list: a day on which an item moved between the
// business and the party, under one voucher number.
struct MovementRow {
  Variant date;
  Variant item;
  Variant voucher_no;  // the rno column: Tran3.[No]
  Variant reference;   // Refcode, where the list has it
  // The list had more than one row of the item on this day (several
  // challans, or one challan under several reference codes): the day's
  // totals are then the whole day's, not this row's challan's or reference's.
  bool shares_its_day = false;
};

// Reads a movement list to its end (rno, and Refcode when `with_reference`).
std::vector<MovementRow> ReadMovementList(HostRecordset& list, bool with_reference);

// Keeps one row per item and day, the first in list order, marked when the
// day had several: a day's movement is billed on one line, whatever the
// number of challans it came on, and its lost and damaged pieces once.
std::vector<MovementRow> TakeEachDayOnce(std::vector<MovementRow> rows);

// The place of the row after `index` that a line's period and look-ahead
// read: the next row; but when the line leaves nothing with the party, the
// first row of another item (rows.size() when there is none), so that a full
// return charges no day until its item moves again.
size_t NextRowOfPeriod(const std::vector<MovementRow>& rows, size_t index, double closing_balance);

// The day a value of a date column stands for; nullopt for a null, an empty
// value or anything that does not read as a date.
std::optional<Date> DayOf(const Variant& value);

// Whether two item codes are the same item; a null or empty code is no item.
bool SameItem(const Variant& a, const Variant& b);

// A day's movement of an item with the party after netting: P issued to the
// party, M returned by it.
struct DayMovement {
  double issued = 0;    // P
  double returned = 0;  // M
  // The day's pieces that went to the party (issues, and opening entries
  // that carry a balance in) and that came back, before netting.
  double gross_in = 0;
  double gross_out = 0;
};

// Nets a day's two sums: M := Nz(a1), P := -Nz(a2); then the smaller of the
// two is taken off the larger and becomes 0 (equal ones both stay). With
// issues stored negative and returns positive, P and M come out as the day's
// net issue and net return, and P - M always equals -(a1 + a2).
DayMovement NetDay(const Variant& a1, const Variant& a2);

// The first row of a day-total query.
struct DayTotals {
  Variant item;  // MasterCode1
  DayMovement movement;
};

// Reads the first row of a day-total query; nullopt when it found none.
std::optional<DayTotals> ReadDayTotals(HostRecordset& totals);

// The financial-year date that the host's calendar answers; nullopt (and the
// failure recorded) when it cannot.
std::optional<Date> FinancialYearDate(host::CompanyContext& context);

// Whether the host can read the previous financial year: its year probe asked
// for the year of the financial-year date less one. False when it cannot tell.
bool PreviousYearExists(host::CompanyContext& context);

// The text of a variant with leading and trailing spaces removed; nullopt for
// a null, which cannot be turned into text.
std::optional<std::string> TrimmedText(const Variant& value);

}  // namespace rnt::engine
