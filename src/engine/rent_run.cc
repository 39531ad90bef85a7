#include "engine/rent_run.h"

#include "engine/calendar_periods.h"
#include "engine/continuation_walk.h"
#include "engine/first_calculation.h"
#include "engine/host_data.h"
#include "engine/queries.h"
#include "engine/run_parameters.h"
#include "engine/run_values.h"
#include "engine/unlisted_items.h"
#include "engine/value_helpers.h"
#include "host/skipped_step.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "ui/frm_error.h"

namespace rnt::engine {
namespace {

using host::Attempt;
using host::StepKind;

// A step on the add-on's own connection. When the company database itself
// fails under it, the run notes that the database is lost (see
// CompanyContext::database_lost).
template <typename Body>
bool AttemptOnConnection(host::CompanyContext& context, std::string_view step, Body&& body,
                         StepKind kind) {
  return Attempt(
      context.report, step,
      [&] {
        if (!context.connection) throw Error("there is no connection to the company database");
        try {
          body();
        } catch (const DatabaseUnavailable&) {
          context.database_lost = true;
          throw;
        }
      },
      kind);
}

void ClearUsersLines(host::CompanyContext& context) {
  AttemptOnConnection(
      context, "clear the user's rent lines",
      [&] { context.connection->Execute(queries::DeleteUserLines(context.user_name.ToText())); },
      StepKind::kDatabase);
}

// The day rule of the settings' first row: both days where the table has no
// such column, or the row no value. A value that names no rule stops the run
// before anything is written: a bill counted by a rule the business did not
// choose must not be made.
DayRule DayRuleOf(db::Recordset& settings, RunReport& report) {
  Variant value;
  try {
    value = settings.Field(kDayRuleColumn);
  } catch (const Error&) {
    return DayRule::kBothDays;  // an older table, made before the rule could be chosen
  }
  const std::string text = value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
  if (std::optional<DayRule> rule = ParseDayRule(text)) return *rule;
  report.day_rule_refused = true;
  throw Error("the day rule '" + text +
              "' in at_ILC (DayRule) is none of 'both days', 'end of day' and 'as before'");
}

// The settings of at_ILC; an empty or missing table leaves the values of the
// run before. A table that cannot be read is reported as a failure that the
// run cannot be trusted after: its lost and damage lines then carry settings
// that are not the company's.
void ReadSettings(host::CompanyContext& context) {
  AttemptOnConnection(
      context, "read the settings (at_ILC)",
      [&] {
        db::Recordset settings;
        settings.Open(queries::kSettings, *context.connection, db::CursorType::kDynamic,
                      db::LockType::kBatchOptimistic);
        if (settings.RecordCount() > 0) {
          context.bs1 = settings.Field("bs1");
          context.bs2 = settings.Field("bs2");
          context.day_rule = DayRuleOf(settings, context.report);
        }
      },
      StepKind::kInput);
}

// The party's code; when the lookup fails, the party's own text stands where
// the code would be, and the queries built from it find nothing.
Variant PartyCode(host::CompanyContext& context, const std::string& party) {
  Variant code(party);
  Attempt(context.report, "look up the party's code", [&] {
    if (!context.master_lookup) throw Error("the host provides no master-lookup component");
    code = Variant(context.master_lookup->CodeOf(party, HostMasterLookup::kParty));
  });
  return code;
}

// The work table keeps the run's lines in its batch until the run ends.
void OpenWorkTable(host::CompanyContext& context) {
  if (!context.work_table) context.work_table = std::make_unique<db::Recordset>();
  AttemptOnConnection(
      context, "open the work table atShut",
      [&] {
        context.work_table->Open(queries::kWorkTable, *context.connection, db::CursorType::kKeyset,
                                 db::LockType::kBatchOptimistic);
      },
      StepKind::kDatabase);
}

// The run's lines become visible together when it ends, or not at all: a host
// reads atShut whatever became of the run, and the lines of a run that lost
// its database part-way (or could not read what it must) would be a short
// statement that looks whole. So a run with such a failure saves none of its
// lines, and one whose saving fails has them rolled back; the report says how
// many were dropped.
void SaveRentLines(host::CompanyContext& context) {
  if (!context.work_table) return;
  const size_t lines = context.work_table->BatchRows();
  if (context.report.FirstDatabaseFailure()) {
    context.work_table->CancelBatch();
    context.report.lines_dropped = lines;
    return;
  }
  if (lines == 0) return;
  bool saved = AttemptOnConnection(
      context, "save the run's rent lines", [&] { context.work_table->UpdateBatch(); },
      StepKind::kDatabase);
  if (!saved) context.report.lines_dropped = lines;
}

// The party's latest rent voucher on or before the search date: first in the
// current year's data, then, when that has none and the host has the year
// before, in the previous year's.
std::shared_ptr<HostRecordset> PreviousRentVoucher(host::CompanyContext& context, RunValues& values,
                                                   const std::string& search_date) {
  std::string sql =
      queries::PreviousRentVoucher(values.party_code.ToText(), SqlDateText(Variant(search_date)));
  std::shared_ptr<HostRecordset> voucher;
  Attempt(context.report, "look for the party's previous rent voucher",
          [&] { voucher = QueryYear(context, FinancialYear::kCurrent, sql); });
  bool found = false;
  Attempt(context.report, "count the previous rent vouchers found",
          [&] { found = voucher && voucher->RecordCount() > 0; });
  if (!found && PreviousYearExists(context)) {
    values.previous_year = true;
    voucher.reset();
    Attempt(context.report, "look for the previous rent voucher in the previous year",
            [&] { voucher = QueryYear(context, FinancialYear::kPrevious, sql); });
  }
  return voucher;
}

void Refuse(host::CompanyContext& context, const std::string& previous_rent_date) {
  std::string message =
      "Rent are Allready Calculated On " + previous_rent_date + " Please Select Another Date";
  context.report.refusal = message;
  Attempt(context.report, "show the refusal of the rent date", [&] {
    if (!context.message_form) context.message_form = std::make_unique<ui::FrmError>();
    ui::FrmError& form = *context.message_form;
    form.control("Capti").caption = "Invalid Data !!";
    form.control("lblMessage").caption = message;
    form.control("ImgStop").visible = true;
    context.windowing().ShowModal(form);
  });
}

// The run up to its last line, each line added to the work table's batch.
void MakeRentLines(host::CompanyContext& context) {
  RunReport& report = context.report;
  RunValues values;
  context.lookups = host::CompanyContext::RunLookups();
  context.database_lost = false;
  ClearUsersLines(context);
  // Every later statement would fail the same way, each write after the busy
  // wait of a locked file, and lines written after the old ones could not be
  // cleared would mix with them.
  if (context.database_lost) return;

  // A parameters file that is missing or cannot make a run is reported as a
  // failure that the run cannot be trusted after; the run goes on with the
  // fields as they were read, empty where the file has none.
  RunParameters parameters;
  bool read = Attempt(
      report, "read the parameters file",
      [&] { parameters = ReadParametersFile(context.AddonFolder(), context.user_name); },
      StepKind::kInput);
  if (read) {
    Attempt(
        report, "check the parameters file",
        [&] {
          RequireRunParameters(parameters,
                               ParametersFilePath(context.AddonFolder(), context.user_name));
        },
        StepKind::kInput);
  }
  if (std::optional<Date> year_date = FinancialYearDate(context)) {
    values.financial_year_date = FormatDate(*year_date, "DD-MM-YYYY");
  }
  Attempt(report, "work out the closing date from the rent date", [&] {
    std::optional<Date> rent_date = ParseDateText(parameters.rent_date);
    if (!rent_date) throw Error("the rent date is not a date: '" + parameters.rent_date + "'");
    values.closing_date = FormatDate(rent_date->AddDays(-1), "dd-mm-yyyy");
  });
  context.day_rule = DayRule::kBothDays;
  context.period_notes.clear();
  ReadSettings(context);
  if (context.database_lost || report.day_rule_refused) return;
  values.party_code = PartyCode(context, parameters.party);
  ClearUsersLines(context);
  OpenWorkTable(context);
  if (context.database_lost) return;

  std::shared_ptr<HostRecordset> voucher =
      PreviousRentVoucher(context, values, parameters.search_date);
  Variant voucher_date;
  Attempt(report, "read the previous rent voucher", [&] {
    if (!voucher || voucher->Eof()) return;
    values.previous_voucher_code = voucher->Field("VchCode").ToInt32();
    voucher_date = voucher->Field("Date");
  });
  std::string voucher_date_text = voucher_date.IsNull() ? "" : voucher_date.ToText();
  if (values.previous_voucher_code > 0 && voucher_date_text.size() > 4) {
    values.previous_rent_date = FormatValue(voucher_date, "DD-MMM-YYYY").ToText();
    values.financial_year_date = values.previous_rent_date;
    // Rent already calculated on or after the rent date is refused; so is a
    // rent date that cannot be compared with it.
    std::optional<Date> previous = ParseDateText(values.previous_rent_date);
    std::optional<Date> closing = ParseDateText(values.closing_date);
    if (!previous || !closing || DaysBetween(*previous, *closing) < 0) {
      Refuse(context, values.previous_rent_date);
      return;
    }
    WalkResult walk = RunContinuationWalk(context, values);
    RunUnlistedItemsPass(context, values, walk);
  } else {
    RunFirstCalculation(context, values);
  }
  if (std::optional<Date> closing = ParseDateText(values.closing_date)) {
    ApplyCalendarPeriods(context, *closing);
  }
}

}  // namespace

void RunRent(host::CompanyContext& context) {
  try {
    MakeRentLines(context);
  } catch (...) {
    // A run cut short leaves none of its lines behind for a later save.
    if (context.work_table) context.work_table->CancelBatch();
    throw;
  }
  SaveRentLines(context);
}

}  // namespace rnt::engine
