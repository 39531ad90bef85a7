#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/rent_run.h"

namespace rnt::testing {

// A rent case's company as its file gives it (tests/scenarios/README.md):
// its years, masters and rates, and its vouchers in their short form.
struct CaseCompany {
  std::string year_start = "01-04-2021";
  bool previous_year = false;
  std::map<std::string, std::string> parties = {{"12", "Sharma Builders"}};
  std::map<std::string, std::string> items = {{"101", "Plates"}, {"102", "Props"}};
  std::map<std::string, int32_t> rate_masters = {};
  std::vector<std::string> rates = {};
  std::vector<double> settings = {};  // bs1 and bs2 of at_ILC, or none
  // How days are counted; the cases written before the business could
  // choose keep the old rules.
  std::string day_rule = "as before";
  std::vector<std::string> vouchers = {};
};

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
  int lines = -1;             // how many lines the user has; -1: not counted
  std::vector<std::string> unchanged;  // users whose lines the run must not touch
};

// A query of a rent run as the case names it with its values
// ("DayTotalsByDate 05-04-2021 12 101"), the text the engine builds of them,
// and the rows it must return on the current year.
struct ScenarioQuery : ExpectedRows {
  std::string query;
  std::string sql;
};

// A rent case: its company's year files, filled, and the runs to make and
// the queries to ask on them in order.
struct Scenario {
  std::unique_ptr<CompanyYear> current;
  std::unique_ptr<CompanyYear> previous;  // null when the company has no previous year
  std::vector<ScenarioRun> runs;
  std::vector<ScenarioQuery> queries;
};

// Throws std::runtime_error, one line naming the file and the value that is
// wrong, for a case that cannot be read.
Scenario LoadScenario(const std::filesystem::path& file);

// The company in year files of its own, with no runs or queries.
Scenario MakeCompany(const CaseCompany& company);
// The company into year files made already; `previous` may be null when no
// voucher falls before the year.
void FillCompany(const CaseCompany& company, CompanyYear& current, CompanyYear* previous);

}  // namespace rnt::testing
