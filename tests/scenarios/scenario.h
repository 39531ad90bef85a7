#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/rent_run.h"

namespace rnt::testing {

// One run of a rent case and what it must leave: its exit status, the
// refusal's text, the user's lines in atShut, other users' lines untouched.
struct ScenarioRun {
  std::string party = "Sharma Builders";
  std::string rent_date;
  std::string search_date;  // empty: the rent date
  std::string user = "clerk";
  bool previous_year = true;  // with the previous year's file, when the company has one
  bool files_only = false;    // on the server the previous year is always there
  int status = 0;             // 0 finished, 1 the run could not be made, 3 the rent date refused
  std::string refusal;        // what the refusal (the form's title, then its message) contains
  std::optional<size_t> lines;
  // The user's lines in these columns of atShut, when the case names any.
  std::vector<std::string> columns;
  std::vector<nlohmann::json> rows;
  bool any_order = false;
  std::vector<std::string> unchanged;  // users whose lines the run must not touch
};

// A rent case read from its file: the company's year files filled with its
// masters, rates and vouchers, and the runs to make on them in order.
struct Scenario {
  std::unique_ptr<CompanyYear> current;
  std::unique_ptr<CompanyYear> previous;  // null when the company has no previous year
  std::vector<ScenarioRun> runs;
};

// Throws std::runtime_error, one line naming the file and the value that is
// wrong, for a case that cannot be read.
Scenario LoadScenario(const std::filesystem::path& file);

}  // namespace rnt::testing
