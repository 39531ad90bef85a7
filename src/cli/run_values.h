#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cli/run_command.h"
#include "rnt/date.h"
#include "rnt/error.h"

namespace rnt::cli {

// A wrong value on the command line: exit 2, nothing written.
class CommandLineError : public Error {
 public:
  using Error::Error;
};

// The command could not be made (a database that cannot be opened or read):
// exit 1.
class RunError : public Error {
 public:
  using Error::Error;
};

// A run that was made, whose rent lines are saved, but which could not be
// read back afterwards (the company database failed after the run): said as
// such, not as a run that could not be made.
class ReadBackError : public Error {
 public:
  explicit ReadBackError(const std::string& failure)
      : Error("the run was made and its rent lines are saved, but reading them back failed: " +
              failure) {}
};

// The text of a date option read as a date. Throws CommandLineError naming
// the option and the text when it is not one.
Date DateOption(std::string_view option, const std::string& text);

// Checks that the company is named one way only, files or server; gives the
// first day of the year that --year-start names on the server. Throws
// CommandLineError.
std::optional<Date> CheckCompanyValues(const CompanyOptions& options);

// The values of `rnt0417 run` that can be checked without opening a file:
// the dates are dates, the company is named one way only, the user name can
// name a file, one party or all of them.
struct RunValues {
  Date rent_date;
  std::optional<Date> month_start;  // with --month
  Date search_date;
  std::optional<Date> year_start;  // with --server
  std::string user;
};

// Checks the values of a run for `user` (the --user given, else the login
// name). Throws CommandLineError with the reason for the first wrong value.
RunValues CheckRunValues(const RunOptions& options, std::string user);

}  // namespace rnt::cli
