// Rent cases as data: every tests/scenarios/*.json made on company files and
// on the test server, as the host runs the add-on, and each run's exit
// status, refusal and lines in atShut, and each query's rows, checked as its
// file says; on the server, each run's lines also those of the files, in order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "db/recordset.h"
#include "host/company_context.h"
#include "rnt/value_text.h"
#include "scenarios/scenario.h"

namespace rnt::testing {
namespace {

using nlohmann::json;

// Each line in the case's columns, each value as a case writes it: null, a
// number (101, not 101.0) or a text.
json Rows(const std::vector<refhost::RentLine>& lines, const std::vector<std::string>& columns) {
  json rows = json::array();
  for (const auto& line : lines) {
    json& row = rows.emplace_back(json::array());
    for (const std::string& column : columns) {
      const Variant value = line.Get(column);
      row.push_back(value.IsNull()     ? json()
                    : value.IsNumber() ? json::parse(NumberText(value.ToDouble()))
                                       : json(value.ToText()));
    }
  }
  return rows;
}

// Each row matched by the line in its place or, in any order, by the first
// line not matched yet; and no line left over. Numbers compare as their
// texts of 15 digits.
void ExpectRows(const ExpectedRows& expected, const std::vector<refhost::RentLine>& lines) {
  const json actual = Rows(lines, expected.columns);
  std::vector<bool> used(actual.size());
  for (size_t i = 0; i < expected.rows.size(); ++i) {
    size_t found = expected.any_order ? 0 : i;
    while (found < actual.size() && (used[found] || expected.rows[i] != actual[found])) {
      found = expected.any_order ? found + 1 : actual.size();
    }
    if (found >= actual.size()) {
      ADD_FAILURE() << "no row " << expected.rows[i].dump() << " at row " << i + 1
                    << "; the rows of " << json(expected.columns).dump() << " are:\n"
                    << actual.dump();
      return;
    }
    used[found] = true;
  }
  EXPECT_EQ(expected.rows.size(), actual.size()) << "the rows:\n" << actual.dump();
}

std::vector<std::string> Described(const std::vector<refhost::RentLine>& lines) {
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(Describe(line));
  return texts;
}

// Every case's file, by name, on files and on the server.
std::vector<std::tuple<std::string, Storage>> Cases() {
  std::set<std::string> files;  // in order of their names
  for (const auto& entry : std::filesystem::directory_iterator(RNT_SCENARIO_DIR)) {
    if (entry.path().extension() == ".json") files.insert(entry.path().filename());
  }
  std::vector<std::tuple<std::string, Storage>> cases;
  for (const auto& file : files) {
    for (Storage storage : {Storage::kFile, Storage::kServer}) cases.emplace_back(file, storage);
  }
  return cases;
}

class RentRuns : public ::testing::TestWithParam<std::tuple<std::string, Storage>> {
 protected:
  void TearDown() override { host::ResetThreadCompanyContext(); }
};

TEST_P(RentRuns, Case) {
  const auto& [file, storage] = GetParam();
  ServerCopy server;
  if (storage == Storage::kServer && !server.available()) {
    GTEST_SKIP() << "no test database server";
  }
  host::ResetThreadCompanyContext();
  Scenario scenario;
  ASSERT_NO_THROW(scenario = LoadScenario(std::filesystem::path(RNT_SCENARIO_DIR) / file));
  ServerCopy* on_server = storage == Storage::kServer ? &server : nullptr;
  std::vector<std::pair<RentRunRequest, std::vector<std::string>>> made_on_server;
  for (size_t i = 0; i < scenario.runs.size(); ++i) {
    const ScenarioRun& run = scenario.runs[i];
    if (run.files_only && on_server) continue;
    SCOPED_TRACE(file + ", run " + std::to_string(i + 1) + " (" + run.user + ", " + run.rent_date +
                 ")");
    const RentRunRequest request{scenario.current.get(),
                                 run.previous_year ? scenario.previous.get() : nullptr,
                                 run.party,
                                 run.rent_date,
                                 run.search_date,
                                 run.user,
                                 on_server};
    std::map<std::string, std::vector<std::string>> others;
    for (const std::string& user : run.unchanged) {
      others[user] = Described(UserLines(request, user));
    }

    const RentRun made = MakeRentRun(request);
    if (on_server) made_on_server.emplace_back(request, Described(made.lines));
    // The exit status rnt0417 gives: refused, not made (a database failure), finished.
    const RunReport& report = made.report;
    const SkippedStep* failure = report.FirstDatabaseFailure();
    EXPECT_EQ(report.refusal ? 3
              : failure      ? 1
                             : 0,
              run.status)
        << (failure ? failure->step + ": " + failure->failure : report.refusal.value_or(""));
    // The refusal as the clerk sees it, the message form's title and then its
    // text, after which the host has its window back.
    if (const auto& events = made.windowing_events; report.refusal) {
      auto shown = std::find_if(events.rbegin(), events.rend(), [](const std::string& event) {
        return event.starts_with("show ");
      });
      std::string title = shown == events.rend() ? "" : shown->substr(5) + " ";
      EXPECT_THAT(title + *report.refusal, ::testing::HasSubstr(run.refusal));
      EXPECT_EQ(events.back(), "yield");
    }
    if (run.lines >= 0) {
      EXPECT_EQ(made.lines.size(), static_cast<size_t>(run.lines));
    }
    if (!run.columns.empty()) ExpectRows(run, made.lines);
    for (const auto& [user, lines] : others) {
      EXPECT_EQ(Described(UserLines(request, user)), lines) << "the lines of " << user;
    }
  }
  // The same runs on the files, the add-on loaded afresh as for the server's:
  // the same lines, in the same order, naming the same challans.
  host::ResetThreadCompanyContext();
  for (auto& [request, lines] : made_on_server) {
    request.server = nullptr;
    EXPECT_EQ(lines, Described(MakeRentRun(request).lines))
        << file << ": the server's lines (left) are not the file's (right)";
  }
  if (scenario.queries.empty()) return;
  // The queries on the current year, over a connection opened as a run opens it.
  const RentRunRequest company{.current = scenario.current.get(), .server = on_server};
  refhost::YearFile year(CompanyOf(company).CurrentYear(), refhost::YearFile::Indexes::kLeaveAsIs);
  for (const ScenarioQuery& query : scenario.queries) {
    SCOPED_TRACE(file + ", query " + query.query);
    db::Recordset found;
    std::vector<refhost::RentLine> rows;
    for (found.Open(query.sql, year.Connection()); !found.Eof(); found.MoveNext()) {
      refhost::RentLine& row = rows.emplace_back();
      for (const std::string& column : query.columns) {
        row.columns.emplace_back(column, found.Field(column));
      }
    }
    ExpectRows(query, rows);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, RentRuns, ::testing::ValuesIn(Cases()), [](const auto& info) {
  std::string name = std::filesystem::path(std::get<0>(info.param)).stem();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + (std::get<1>(info.param) == Storage::kFile ? "_File" : "_Server");
});

}  // namespace
}  // namespace rnt::testing
