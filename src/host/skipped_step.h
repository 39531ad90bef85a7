#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "rnt/error.h"
#include "rnt/run_report.h"

namespace rnt::host {

// Whether a failing step keeps the run from being made: kDatabase, a step on
// the company database that the run cannot do without; kInput, one that reads
// what the run is asked to do or must know (the parameters file, the
// settings). Either failure is reported as kept_from_database.
enum class StepKind { kOrdinary, kDatabase, kInput };

// The name of a step for the report: a text, or a function that makes it,
// for steps taken for every column of every rent line, whose names are only
// needed when they fail.
inline std::string StepName(std::string_view step) { return std::string(step); }
template <typename MakeName>
requires std::is_invocable_r_v<std::string, const MakeName&> std::string StepName(
    const MakeName& make_name) {
  return make_name();
}

// Runs one step that may fail. A failure is recorded in the report with the
// step's name and what failed, and the run goes on with its next step, as the
// add-on does everywhere: later steps work with whatever earlier ones set.
// Returns whether the step succeeded.
template <typename Step, typename Body>
bool Attempt(RunReport& report, const Step& step, Body&& body,
             StepKind kind = StepKind::kOrdinary) {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (const DatabaseUnavailable& error) {
    // Whatever the step, the database itself failed under it.
    report.Skip({StepName(step), error.what(), true});
    return false;
  } catch (const std::exception& error) {
    report.Skip({StepName(step), error.what(), kind != StepKind::kOrdinary});
    return false;
  }
}

}  // namespace rnt::host
