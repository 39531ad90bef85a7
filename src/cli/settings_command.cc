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

// The grouping that --amount-grouping names; any other text is refused.
std::optional<refhost::AmountGrouping> CheckAmountGrouping(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const std::optional<refhost::AmountGrouping> grouping = refhost::ParseAmountGrouping(*text);
  if (!grouping || TrimBlanks(*text).empty()) {
    throw CommandLineError("--amount-grouping: '" + *text +
                           "' is not an amount grouping: choose 'indian' or 'international'");
  }
  return grouping;
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
  out << "Amounts:      ";
  if (!settings.amount_grouping_text) {
    out << refhost::AmountGroupingText(refhost::AmountGrouping::kInternational) << " (default)\n";
  } else if (const auto grouping = settings.amount_grouping()) {
    out << refhost::AmountGroupingText(*grouping) << "\n";
  } else {
    out << "'" << *settings.amount_grouping_text
        << "' is no amount grouping: amounts print international until it is set with "
           "--amount-grouping\n";
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

// What to set in each year: the day rule, the amount grouping, or both.
struct SettingsToSet {
  std::optional<DayRule> rule;
  std::optional<refhost::AmountGrouping> grouping;
};

void SetEverywhere(const CompanyOptions& options, const refhost::CompanyData& company,
                   const SettingsToSet& set, std::ostream& out) {
  for (const YearToSet& year : YearsToSet(options, company)) {
    db::Connection& connection = year.data->Connection();
    if (!year.latest && !refhost::ReadCompanySettings(connection).has_table) {
      out << "passed over (no settings table at_ILC): " << year.data->name() << "\n";
      continue;
    }
    if (set.rule) {
      refhost::SetDayRule(connection, *set.rule, year.data->name());
      out << "day rule set to '" << refhost::DayRuleText(*set.rule) << "': " << year.data->name()
          << "\n";
    }
    if (set.grouping) {
      refhost::SetAmountGrouping(connection, *set.grouping, year.data->name());
      out << "amount grouping set to '" << refhost::AmountGroupingText(*set.grouping)
          << "': " << year.data->name() << "\n";
    }
  }
}

}  // namespace

int CompanySettingsCommand(const SettingsOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the settings could not be read or set", [&] {
    const std::optional<Date> year_start = CheckCompanyValues(options);
    const SettingsToSet set{CheckDayRule(options.day_rule),
                            CheckAmountGrouping(options.amount_grouping)};
    const refhost::CompanyData company = FindCompanyYears(options, year_start, std::nullopt, err);
    if (set.rule || set.grouping) {
      // Every year alike: a bill made again from an earlier year's file
      // counts its days, and prints its amounts, as a bill from the latest
      // year does.
      SetEverywhere(options, company, set, out);
      out << "\n";
    }
    PrintSettings(company.current()->name(),
                  refhost::ReadCompanySettings(company.current()->Connection()), out);
    return kRunFinished;
  });
}

}  // namespace rnt::cli
