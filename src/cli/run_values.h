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

// The text of a date option read as a date. Throws CommandLineError naming
// the option and the text when it is not one.
Date DateOption(std::string_view option, const std::string& text);

// The values of `rnt0417 run` that can be checked without opening a file:
// the dates are dates, the company is named one way only, the user name can
// name a file, one party or all of them.
struct RunValues {
  Date rent_date;
  Date search_date;
  std::optional<Date> year_start;  // with --server
  std::string user;
};

// Checks the values of a run for `user` (the --user given, else the login
// name). Throws CommandLineError with the reason for the first wrong value.
RunValues CheckRunValues(const RunOptions& options, std::string user);

// The values of `rnt0417 post` that can be checked without opening a file.
struct PostValues {
  Date rent_date;
  std::string user;
};

// Checks the values of a posting for `user`. Throws CommandLineError.
PostValues CheckPostValues(const PostOptions& options, std::string user);

}  // namespace rnt::cli
