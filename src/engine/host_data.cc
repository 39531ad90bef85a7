#include "engine/host_data.h"

#include <cmath>

#include "engine/value_helpers.h"
#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// Val of a value's text, as the walks compare and add quantities.
double NumberOf(const Variant& value) { return Val(value.ToText()); }

std::string DayKey(const MovementRow& row) {
  return (row.item.IsNull() ? std::string() : row.item.ToText()) + "|" +
         (row.date.IsNull() ? std::string() : row.date.ToText());
}

}  // namespace

std::shared_ptr<HostRecordset> QueryYear(host::CompanyContext& context, FinancialYear year,
                                         const std::string& sql) {
  std::shared_ptr<HostApplication> host = context.HostApp();
  std::shared_ptr<HostRecordset> rows = year == FinancialYear::kCurrent
                                            ? host->GetRecordset(Variant(sql))
                                            : host->GetRecordsetFromPrevFY(Variant(sql));
  if (!rows) throw Error("the host returned no record set for: " + sql);
  return rows;
}

std::vector<MovementRow> ReadMovementList(HostRecordset& list, bool with_reference) {
  std::vector<MovementRow> rows;
  // A year of a party's movements is the longest list of a run: made to its
  // size at once rather than grown, when the host can tell the size.
  if (const long count = list.RecordCount(); count > 0) rows.reserve(static_cast<size_t>(count));
  for (; !list.Eof(); list.MoveNext()) {
    MovementRow row;
    row.date = list.Field("Date");
    row.item = list.Field("MasterCode1");
    row.voucher_no = list.Field("rno");
    if (with_reference) row.reference = list.Field("Refcode");
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<MovementRow> TakeEachDayOnce(std::vector<MovementRow> rows) {
  // The rows kept move to the front of the list itself: a party's list holds
  // years of movements, and a second copy of it would double the run's memory.
  size_t kept = 0;
  std::string day;  // the item and day of the last row kept
  for (MovementRow& row : rows) {
    std::string key = DayKey(row);
    if (kept > 0 && key == day) {
      rows[kept - 1].shares_its_day = true;
      continue;
    }
    day = std::move(key);
    row.shares_its_day = false;
    if (&rows[kept] != &row) rows[kept] = std::move(row);
    ++kept;
  }
  rows.resize(kept);
  return rows;
}

std::optional<Date> DayOf(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return std::nullopt;
  try {
    return value.ToDate();
  } catch (const Error&) {
    return std::nullopt;
  }
}

bool SameItem(const Variant& a, const Variant& b) {
  if (a.IsNull() || a.IsEmpty() || b.IsNull() || b.IsEmpty()) return false;
  return a.ToText() == b.ToText();
}

size_t NextRowOfPeriod(const std::vector<MovementRow>& rows, size_t index, double closing_balance) {
  size_t next = index + 1;
  if (closing_balance != 0) return next;
  while (next < rows.size() && SameItem(rows[next].item, rows[index].item)) ++next;
  return next;
}

DayMovement NetDay(const Variant& a1, const Variant& a2) {
  DayMovement day;
  day.returned = NumberOf(NullToZero(a1));
  day.issued = -NumberOf(NullToZero(a2));
  // Issues are stored negative and returns positive; an opening entry, counted
  // among the returns, is stored as an issue is.
  for (double sum : {day.returned, -day.issued}) {
    (sum < 0 ? day.gross_in : day.gross_out) += std::fabs(sum);
  }
  if (day.returned < day.issued) {
    day.issued -= day.returned;
    day.returned = 0;
  } else if (day.issued < day.returned) {
    day.returned -= day.issued;
    day.issued = 0;
  }
  return day;
}

std::optional<DayTotals> ReadDayTotals(HostRecordset& totals) {
  if (totals.Eof()) return std::nullopt;
  return DayTotals{totals.Field("MasterCode1"), NetDay(totals.Field("a1"), totals.Field("a2"))};
}

std::optional<Date> FinancialYearDate(host::CompanyContext& context) {
  std::optional<Date> date;
  host::Attempt(context.report, "ask the host's calendar for the financial-year date", [&] {
    if (!context.calendar) throw Error("the host provides no calendar component");
    date = context.calendar->YearDate().ToDate();
  });
  return date;
}

bool PreviousYearExists(host::CompanyContext& context) {
  bool exists = false;
  std::optional<Date> year_date = FinancialYearDate(context);
  if (!year_date) return false;
  host::Attempt(context.report, "ask the host whether the previous financial year exists", [&] {
    if (!context.year_probe) throw Error("the host provides no year-probe component");
    int16_t year = static_cast<int16_t>(year_date->year() - 1);
    exists = context.year_probe->HasYear(year);
  });
  return exists;
}

std::optional<std::string> TrimmedText(const Variant& value) {
  if (value.IsNull()) return std::nullopt;
  std::string text = value.ToText();
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

}  // namespace rnt::engine
