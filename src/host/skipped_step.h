#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "rnt/error.h"
#include "rnt/run_report.h"

namespace rnt::host {

// Whether a failing step keeps the run from being made: kDatabase, a step on
// the company database that the run cannot do without; kInput, one that reads
// what the run is asked to do or must know (the parameters file, the
// settings). Either failure is reported as kept_from_database.
enum class StepKind { kOrdinary, kDatabase, kInput };

// Runs one step that may fail. A failure is recorded in the report with the
// step's name and what failed, and the run goes on with its next step, as the
// add-on does everywhere: later steps work with whatever earlier ones set.
// Returns whether the step succeeded.
template <typename Body>
bool Attempt(RunReport& report, std::string_view step, Body&& body,
             StepKind kind = StepKind::kOrdinary) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const DatabaseUnavailable& error) {
    // Whatever the step, the database itself failed under it.
    report.Skip({std::string(step), error.what(), true});
    return false;
  } catch (const std::exception& error) {
    report.Skip({std::string(step), error.what(), kind != StepKind::kOrdinary});
    return false;
  }
}

}  // namespace rnt::host
