#include "cli/run_values.h"

#include "cli/billing_period.h"
#include "platform/addon_files.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// The user name becomes part of the parameters file's name.
void RequireUserName(const std::string& user) {
  if (user.empty() || !platform::IsSafeUserName(user)) {
    throw CommandLineError("--user: '" + user +
                           "' cannot be a user name (it must not be empty or hold '/', '\\' or "
                           "'..')");
  }
}

}  // namespace

Date DateOption(std::string_view option, const std::string& text) {
  std::optional<Date> date = ParseDateText(text);
  if (!date) {
    throw CommandLineError(std::string(option) + ": not a date: '" + text +
                           "' (expected DD-MM-YYYY)");
  }
  return *date;
}

std::optional<Date> CheckCompanyValues(const CompanyOptions& options) {
  if (options.server) {
    if (!options.company.empty() || options.previous_year) {
      throw CommandLineError("--server: a company is either on the server or in files, not both");
    }
    if (!options.year_start) throw CommandLineError("--server needs --year-start DD-MM-YYYY");
    return DateOption("--year-start", *options.year_start);
  }
  if (options.company.empty())
    throw CommandLineError("--company FILE|DIR or --server CODE is needed");
  if (options.year_start) throw CommandLineError("--year-start goes with --server only");
  return std::nullopt;
}

RunValues CheckRunValues(const RunOptions& options, std::string user) {
  const BillingPeriod period = PeriodAsked(options.rent_date, options.to, options.month);
  Date search_date =
      options.search_date ? DateOption("--search-date", *options.search_date) : period.rent_date;
  RunValues values{period.rent_date, period.month_start, search_date, CheckCompanyValues(options),
                   std::move(user)};
  RequireUserName(values.user);
  if (options.all_parties && !options.party.empty()) {
    throw CommandLineError("--party and --all-parties: name one party or all, not both");
  }
  if (!options.all_parties && options.party.empty()) {
    throw CommandLineError("--party NAME or --all-parties is needed");
  }
  // An option that would be passed over is refused rather than ignored.
  if (options.all_parties && options.output) {
    throw CommandLineError(
        "--output goes with one party; with --all-parties use --output-dir DIR for a file per "
        "party");
  }
  if (!options.all_parties && options.output_dir) {
    throw CommandLineError("--output-dir goes with --all-parties; for one party use --output FILE");
  }
  return values;
}

}  // namespace rnt::cli
