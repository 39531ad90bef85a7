#include "cli/run_values.h"

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

RunValues CheckRunValues(const RunOptions& options, std::string user) {
  Date rent_date = DateOption("--rent-date", options.rent_date);
  Date search_date =
      options.search_date ? DateOption("--search-date", *options.search_date) : rent_date;
  RunValues values{rent_date, search_date, std::nullopt, std::move(user)};
  if (options.server) {
    if (!options.company.empty() || options.previous_year) {
      throw CommandLineError("--server: a company is either on the server or in files, not both");
    }
    if (!options.year_start) throw CommandLineError("--server needs --year-start DD-MM-YYYY");
    values.year_start = DateOption("--year-start", *options.year_start);
  } else if (options.company.empty()) {
    throw CommandLineError("--company FILE or --server CODE is needed");
  }
  RequireUserName(values.user);
  if (options.all_parties && !options.party.empty()) {
    throw CommandLineError("--party and --all-parties: name one party or all, not both");
  }
  if (!options.all_parties && options.party.empty()) {
    throw CommandLineError("--party NAME or --all-parties is needed");
  }
  return values;
}

PostValues CheckPostValues(const PostOptions& options, std::string user) {
  PostValues values{DateOption("--rent-date", options.rent_date), std::move(user)};
  RequireUserName(values.user);
  return values;
}

}  // namespace rnt::cli
