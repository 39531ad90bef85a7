#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/rent_run.h"

namespace rnt::testing {

// The rows that a run leaves in atShut, or that a query returns, in the
// columns that matter; numbers compare as numbers, null as null.
struct ExpectedRows {
  std::vector<std::string> columns;
  std::vector<nlohmann::json> rows;
  bool any_order = false;
};

// One run of a rent case and what it must leave: its exit status, the
// refusal's text, the user's lines in atShut, other users' lines untouched.
struct ScenarioRun : ExpectedRows {
  std::string party = "Sharma Builders";
  std::string rent_date;
  std::string search_date;  // empty: the rent date
  std::string user = "clerk";
  bool previous_year = true;  // with the previous year's file, when the company has one
  bool files_only = false;    // on the server the previous year is always there
  int status = 0;             // 0 finished, 1 the run could not be made, 3 the rent date refused
  std::string refusal;        // what the refusal (the form's title, then its message) contains
  std::optional<size_t> lines;
  std::vector<std::string> unchanged;  // users whose lines the run must not touch
};

// One query text of a rent run, built by the engine from the values of the
// case ("DayTotalsByDate 05-04-2021 12 101"), and the rows it must return on
// the current year.
struct ScenarioQuery : ExpectedRows {
  std::string text;  // as the case writes it
  std::string sql;
};

// A rent case read from its file: the company's year files filled with its
// masters, rates and vouchers, and the runs to make and the queries to ask
// on them in order.
struct Scenario {
  std::unique_ptr<CompanyYear> current;
  std::unique_ptr<CompanyYear> previous;  // null when the company has no previous year
  std::vector<ScenarioRun> runs;
  std::vector<ScenarioQuery> queries;
};

// Throws std::runtime_error, one line naming the file and the value that is
// wrong, for a case that cannot be read.
Scenario LoadScenario(const std::filesystem::path& file);

// A case's company (its years, masters, rates and vouchers, as
// tests/scenarios/README.md describes them) in year files of its own; the
// runs and queries are left empty.
Scenario MakeCompany(const nlohmann::json& company);
// The same into year files that exist already; `previous` may be null when
// no voucher falls before the year.
void FillCompany(const nlohmann::json& company, CompanyYear& current, CompanyYear* previous);

}  // namespace rnt::testing
