// Rent cases as data: every tests/scenarios/*.json made on company files and
// on the test server, as the host runs the add-on, and each run's exit
// status, refusal and lines in atShut checked as its file says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>

#include "host/company_context.h"
#include "scenarios/scenario.h"

namespace rnt::testing {
namespace {

using nlohmann::json;

// A line's columns as the case lists them: null, a number or a text.
json Row(const refhost::RentLine& line, const std::vector<std::string>& columns) {
  json row = json::array();
  for (const std::string& column : columns) {
    Variant value = line.Get(column);
    if (value.IsNull()) {
      row.push_back(nullptr);
    } else if (!value.IsNumber()) {
      row.push_back(value.ToText());
    } else if (double number = value.ToDouble(); number == std::trunc(number)) {
      row.push_back(static_cast<int64_t>(number));  // as a case writes it
    } else {
      row.push_back(number);
    }
  }
  return row;
}

// Numbers as numbers, amounts to a billionth.
bool Matches(const json& expected, const json& actual) {
  for (size_t i = 0; i < expected.size(); ++i) {
    const json &want = expected[i], &got = actual[i];
    if (want.is_number() && got.is_number()) {
      const double a = want.get<double>(), b = got.get<double>();
      if (std::abs(a - b) > 1e-9 * std::max(1.0, std::abs(a))) return false;
    } else if (want != got) {
      return false;
    }
  }
  return true;
}

// Each expected row matched by the line in its place or, in any order, by
// the first line not matched yet.
void ExpectRows(const ScenarioRun& run, const std::vector<refhost::RentLine>& lines) {
  json actual = json::array();
  for (const auto& line : lines) actual.push_back(Row(line, run.columns));
  std::vector<bool> used(actual.size());
  for (size_t i = 0; i < run.rows.size(); ++i) {
    size_t found = run.any_order ? 0 : i;
    while (found < actual.size() && (used[found] || !Matches(run.rows[i], actual[found]))) {
      found = run.any_order ? found + 1 : actual.size();
    }
    if (found >= actual.size()) {
      ADD_FAILURE() << "no line " << run.rows[i].dump() << " at row " << i + 1 << "; the lines of "
                    << json(run.columns).dump() << " are:\n"
                    << actual.dump();
      return;
    }
    used[found] = true;
  }
  EXPECT_EQ(run.rows.size(), actual.size()) << "lines of " << json(run.columns).dump() << ":\n"
                                            << actual.dump();
}

// The exit status rnt0417 gives for the run, and why.
std::pair<int, std::string> ExitStatus(const RunReport& report) {
  if (report.refusal) return {3, *report.refusal};
  if (const SkippedStep* failure = report.FirstDatabaseFailure()) {
    return {1, failure->step + ": " + failure->failure};
  }
  return {0, ""};
}

std::vector<std::string> Described(const std::vector<refhost::RentLine>& lines) {
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(Describe(line));
  return texts;
}

// One case on one storage.
struct Case {
  std::filesystem::path file;
  Storage storage;
};

void PrintTo(const Case& on, std::ostream* out) {
  *out << on.file.filename().string() << " on "
       << (on.storage == Storage::kFile ? "file" : "server");
}

// Every case on files and on the server, in the order of their names.
std::vector<Case> Cases() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(RNT_SCENARIO_DIR)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<Case> cases;
  for (const auto& file : files) {
    for (Storage storage : {Storage::kFile, Storage::kServer}) cases.push_back({file, storage});
  }
  return cases;
}

class RentRuns : public ::testing::TestWithParam<Case> {
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
  try {
    scenario = LoadScenario(file);
  } catch (const std::exception& error) {
    FAIL() << error.what();
  }
  for (size_t i = 0; i < scenario.runs.size(); ++i) {
    const ScenarioRun& run = scenario.runs[i];
    if (run.files_only && storage == Storage::kServer) continue;
    SCOPED_TRACE(file.filename().string() + ", run " + std::to_string(i + 1) + " (" + run.user +
                 ", " + run.rent_date + ")");
    const RentRunRequest request{.current = scenario.current.get(),
                                 .previous = run.previous_year ? scenario.previous.get() : nullptr,
                                 .party = run.party,
                                 .rent_date = run.rent_date,
                                 .search_date = run.search_date,
                                 .user = run.user,
                                 .server = storage == Storage::kServer ? &server : nullptr,
                                 .before_start = {}};
    std::map<std::string, std::vector<std::string>> others;
    for (const std::string& user : run.unchanged) {
      others[user] = Described(UserLines(request, user));
    }

    const RentRun made = MakeRentRun(request);
    const auto [status, why] = ExitStatus(made.report);
    EXPECT_EQ(status, run.status) << why;
    // The refusal as the clerk sees it, the message form's title and then its
    // text, after which the host has its window back.
    if (const auto& events = made.windowing_events; status == 3) {
      auto shown = std::find_if(events.rbegin(), events.rend(), [](const std::string& event) {
        return event.starts_with("show ");
      });
      std::string title = shown == events.rend() ? "" : shown->substr(5) + " ";
      EXPECT_THAT(title + why, ::testing::HasSubstr(run.refusal));
      EXPECT_EQ(events.empty() ? "" : events.back(), "yield");
    }
    if (run.lines) {
      EXPECT_EQ(made.lines.size(), *run.lines);
    }
    if (!run.rows.is_null()) ExpectRows(run, made.lines);
    for (const auto& [user, lines] : others) {
      EXPECT_EQ(Described(UserLines(request, user)), lines) << "the lines of " << user;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, RentRuns, ::testing::ValuesIn(Cases()), [](const auto& info) {
  std::string name = info.param.file.stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + (info.param.storage == Storage::kFile ? "_File" : "_Server");
});

}  // namespace
}  // namespace rnt::testing
