#include "engine/calendar_periods.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/text_util.h"
#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// Days on which an item's charged pieces stay the same, and the line that
// charges them: the line of the movement that changed the pieces.
struct Period {
  Date from;
  Date to;
  double pieces = 0;
  size_t owner = 0;  // the place of the owning line in the batch
};

// Works out one item's periods from its notes, in the order the walks wrote
// them (day by day), up to the closing day.
class ItemCalendar {
 public:
  ItemCalendar(DayRule rule, Date closing_day) : rule_(rule), closing_day_(closing_day) {}

  void Add(size_t place, const PeriodNote& note) {
    if (note.carried) {
      Open(note.day, std::max(0.0, note.before), place);
      return;
    }
    const ChargedPieces charged = PiecesCharged(rule_, note.before, note.in, note.out);
    // A day charged as the days before it goes on with their line: under
    // "both days" the day of a return is charged what was held before it.
    if (!open_ || open_->pieces != charged.first_day) Open(note.day, charged.first_day, place);
    if (charged.after != charged.first_day) Open(note.day.AddDays(1), charged.after, place);
  }

  std::vector<Period> Finish() {
    Close(closing_day_);
    return std::move(periods_);
  }

 private:
  void Open(Date from, double pieces, size_t owner) {
    Close(from.AddDays(-1));
    open_ = Period{from, from, pieces, owner};
  }
  void Close(Date to) {
    if (!open_) return;
    to = std::min(to, closing_day_);
    if (open_->pieces > 0 && to >= open_->from) {
      open_->to = to;
      periods_.push_back(*open_);
    }
    open_.reset();
  }

  DayRule rule_;
  Date closing_day_;
  std::optional<Period> open_;
  std::vector<Period> periods_;
};

// The places of the columns that the periods set, in the work table.
struct PeriodColumns {
  size_t d1, d2, dte1, dte2, days, qty, qty2, price;

  explicit PeriodColumns(const std::vector<std::string>& names)
      : d1(Find(names, "D1")),
        d2(Find(names, "D2")),
        dte1(Find(names, "Dte1")),
        dte2(Find(names, "Dte2")),
        days(Find(names, "Days")),
        qty(Find(names, "Qty")),
        qty2(Find(names, "Qty2")),
        price(Find(names, "Price")) {}

  static size_t Find(const std::vector<std::string>& names, std::string_view name) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (EqualsIgnoringCase(names[i], name)) return i;
    }
    throw Error("the work table atShut has no column " + std::string(name));
  }
};

std::string LineDay(Date day) { return FormatDate(day, "DD-MM-YYYY"); }

// Sets a line's period and what it charges: Days counts both Dte1 and Dte2.
void SetPeriod(std::vector<Variant>& row, const PeriodColumns& at, Date from, Date to,
               double pieces) {
  const double days = DaysBetween(from, to) + 1;
  row[at.dte1] = Variant(LineDay(from));
  row[at.dte2] = Variant(LineDay(to));
  row[at.days] = Variant(days);
  row[at.qty] = Variant(days * pieces);
  const Variant& price = row[at.price];
  row[at.qty2] = price.IsNull() ? Variant::Null() : Variant(price.ToDouble() * days * pieces);
}

}  // namespace

std::string PeriodItemKey(const Variant& item) {
  if (item.IsNull() || item.IsEmpty()) return std::string();
  if (item.IsNumber()) return NumberText(item.ToDouble());
  std::string text(TrimBlanks(item.ToText()));
  if (std::optional<double> number = ParseNumberText(text)) return NumberText(*number);
  return text;
}

bool DayMakesALine(const host::CompanyContext& context, const DayMovement& day) {
  if (day.issued > 0 || day.returned > 0) return true;
  return context.day_rule != DayRule::kAsBefore && day.gross_in > 0;
}

void ApplyCalendarPeriods(host::CompanyContext& context, Date closing_day) {
  std::vector<std::pair<size_t, PeriodNote>> notes = std::move(context.period_notes);
  context.period_notes.clear();
  if (context.day_rule == DayRule::kAsBefore || notes.empty() || !context.work_table) return;

  // Each item's periods, worked out over its notes in the order written.
  std::map<std::string, ItemCalendar> calendars;
  for (const auto& [place, note] : notes) {
    calendars.try_emplace(note.item, context.day_rule, closing_day).first->second.Add(place, note);
  }
  std::map<size_t, std::vector<Period>> owned;  // by the owning line's place
  for (auto& [item, calendar] : calendars) {
    for (const Period& period : calendar.Finish()) owned[period.owner].push_back(period);
  }
  std::map<size_t, const PeriodNote*> noted;
  for (const auto& [place, note] : notes) noted[place] = &note;

  host::Attempt(
      context.report, "count the days by the company's day rule",
      [&] {
        const PeriodColumns at(context.work_table->TableColumnNames());
        context.work_table->RewriteBatch([&](size_t place, const std::vector<Variant>& stored) {
          std::vector<std::vector<Variant>> kept;
          auto note = noted.find(place);
          if (note == noted.end()) {
            kept.push_back(stored);
            return kept;
          }
          const PeriodNote& day = *note->second;
          std::vector<Variant> row = stored;
          // A day whose pieces went out and came back shows them both.
          if (!day.carried && day.in > 0 && day.in == day.out) {
            row[at.d1] = Variant(day.in);
            row[at.d2] = Variant(day.out);
          }
          auto periods = owned.find(place);
          if (periods == owned.end()) {
            if (day.carried || !(day.out > day.in)) return kept;
            SetPeriod(row, at, day.day, day.day, 0);
            row[at.days] = Variant(0.0);
            kept.push_back(std::move(row));
            return kept;
          }
          for (const Period& period : periods->second) {
            kept.push_back(row);
            SetPeriod(kept.back(), at, period.from, period.to, period.pieces);
          }
          return kept;
        });
      },
      host::StepKind::kDatabase);
}

}  // namespace rnt::engine
