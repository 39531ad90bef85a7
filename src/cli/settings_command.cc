#include "cli/settings_command.h"

#include <memory>
#include <vector>

#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "core/text_util.h"
#include "refhost/company_settings.h"
#include "refhost/year_files.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

using refhost::DayRule;

// The rule that --day-rule names; any other text, an empty one too, is refused.
std::optional<DayRule> CheckDayRule(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const std::optional<DayRule> rule = refhost::ParseDayRule(*text);
  if (!rule || TrimBlanks(*text).empty()) {
    throw CommandLineError("--day-rule: '" + *text +
                           "' is not a day rule: choose 'both days', 'end of day' or 'as before'");
  }
  return rule;
}

std::string SettingText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "(none)";
  if (value.type() == VariantType::kText) return value.text();
  return NumberText(value.ToDouble());
}

void PrintSettings(const std::string& year, const refhost::CompanySettings& settings,
                   std::ostream& out) {
  out << "Company year: " << year << "\n";
  if (!settings.has_table) {
    out << "No settings table at_ILC: a rent run on this year fails until the add-on is set up "
           "in it\n";
    return;
  }
  out << "bs1:          " << SettingText(settings.bs1) << "\n"
      << "bs2:          " << SettingText(settings.bs2) << "\n"
      << "Day rule:     ";
  if (!settings.day_rule_text) {
    out << refhost::DayRuleText(DayRule::kBothDays) << " (default)\n";
  } else if (const std::optional<DayRule> rule = settings.day_rule()) {
    out << refhost::DayRuleText(*rule) << "\n";
  } else {
    out << "'" << *settings.day_rule_text
        << "' is no day rule: rent runs fail until it is set with --day-rule\n";
  }
}

// A year of the company whose rule is to be set, and what to call it.
struct YearToSet {
  std::shared_ptr<refhost::YearFile> data;
  bool latest;
};

// Every year of the company found, the latest one first.
std::vector<YearToSet> YearsToSet(const CompanyOptions& options,
                                  const refhost::CompanyData& company) {
  std::vector<YearToSet> years = {{company.current(), true}};
  std::error_code error;
  if (!options.server && std::filesystem::is_directory(options.company, error)) {
    // The folder was read while the years were found; the others join the latest.
    refhost::FolderYears in_folder =
        refhost::YearFilesIn(std::filesystem::absolute(options.company));
    bool previous_named = company.files().previous.has_value();
    for (auto year = in_folder.years.rbegin(); year != in_folder.years.rend(); ++year) {
      if (year->file == company.files().previous) previous_named = false;
      if (year->file != company.files().current) years.push_back({year->data, false});
    }
    // A year before named by --previous-year from outside the folder.
    if (previous_named && company.previous()) years.push_back({company.previous(), false});
    return years;
  }
  if (company.previous()) {
    try {
      company.previous()->Connection();
      years.push_back({company.previous(), false});
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error&) {
      // On the server the year before's catalogue is named whether it exists or not.
    }
  }
  return years;
}

void SetEverywhere(const CompanyOptions& options, const refhost::CompanyData& company, DayRule rule,
                   std::ostream& out) {
  for (const YearToSet& year : YearsToSet(options, company)) {
    db::Connection& connection = year.data->Connection();
    if (!year.latest && !refhost::ReadCompanySettings(connection).has_table) {
      out << "passed over (no settings table at_ILC): " << year.data->name() << "\n";
      continue;
    }
    refhost::SetDayRule(connection, rule, year.data->name());
    out << "day rule set to '" << refhost::DayRuleText(rule) << "': " << year.data->name() << "\n";
  }
}

}  // namespace

int CompanySettingsCommand(const SettingsOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the settings could not be read or set", [&] {
    const std::optional<Date> year_start = CheckCompanyValues(options);
    const std::optional<DayRule> rule = CheckDayRule(options.day_rule);
    const refhost::CompanyData company = FindCompanyYears(options, year_start, std::nullopt, err);
    if (rule) {
      // Every year alike: a bill made again from an earlier year's file
      // counts its days as a bill from the latest year does.
      SetEverywhere(options, company, *rule, out);
      out << "\n";
    }
    PrintSettings(company.current()->name(),
                  refhost::ReadCompanySettings(company.current()->Connection()), out);
    return kRunFinished;
  });
}

}  // namespace rnt::cli
