#pragma once

#include <exception>
#include <ostream>
#include <string_view>

#include "cli/run_command.h"
#include "cli/run_values.h"

namespace rnt::cli {

// Runs one command and gives its exit status: a wrong command line is 2 and a
// failure 1, each said in one line on `err`; `not_done` says what failed.
template <typename Command>
int ExitStatusOf(std::ostream& err, std::string_view not_done, Command&& command) {
  try {
    return command();
  } catch (const CommandLineError& error) {
    err << "rnt0417: " << error.what() << "\n";
    return kBadCommandLine;
  } catch (const ReadBackError& error) {
    err << "rnt0417: " << error.what() << "\n";
    return kRunNotMade;
  } catch (const std::exception& error) {
    err << "rnt0417: " << not_done << ": " << error.what() << "\n";
    return kRunNotMade;
  }
}

}  // namespace rnt::cli
