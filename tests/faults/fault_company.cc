#include "faults/fault_company.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "host/company_context.h"
#include "rnt/date.h"

namespace rnt::testing {
namespace {

// Items from 101 on; each gives Sharma Builders some eight lines.
constexpr int kItems = 16;

// A connection of its own to a company file, closed with this object.
class RawFile {
 public:
  explicit RawFile(const std::filesystem::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      std::string why = sqlite3_errmsg(db_);
      sqlite3_close(db_);
      throw std::runtime_error("cannot open " + file.string() + ": " + why);
    }
    sqlite3_busy_timeout(db_, 8000);
  }
  ~RawFile() { sqlite3_close(db_); }
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;

  void Execute(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string why = message ? message : "?";
      sqlite3_free(message);
      throw std::runtime_error(why + " [" + sql + "]");
    }
  }

  // Each row as its columns' names and texts ("null" for a null).
  std::vector<std::vector<std::pair<std::string, std::string>>> Rows(const std::string& sql,
                                                                     const std::string& value) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " [" + sql + "]");
    }
    sqlite3_bind_text(statement, 1, value.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::vector<std::pair<std::string, std::string>>> rows;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const unsigned char* text = sqlite3_column_text(statement, i);
        row.emplace_back(sqlite3_column_name(statement, i),
                         text ? reinterpret_cast<const char*>(text) : "null");
      }
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) throw std::runtime_error(std::string(sqlite3_errmsg(db_)));
    return rows;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::vector<std::string> Joined(
    const std::vector<std::vector<std::pair<std::string, std::string>>>& rows) {
  std::vector<std::string> joined;
  for (const auto& row : rows) {
    std::string text;
    for (const auto& [name, value] : row) text += (text.empty() ? "" : " ") + name + "=" + value;
    joined.push_back(text);
  }
  return joined;
}

void MustFinish(const ProgramRun& run, const std::string& what) {
  if (run.exit_status != 0) {
    throw std::runtime_error(what + " ended with " + std::to_string(run.exit_status) + ": " +
                             run.err);
  }
}

}  // namespace

FaultCompany::FaultCompany(bool seed_lines)
    : current_(Date::FromYmd(2021, 4, 1)), previous_(Date::FromYmd(2020, 4, 1)) {
  FillTwoPartyMonth(current_, kItems);
  current_.Settings(1.5, 2.5)
      .Damaged("18-04-2021", 101, 12, 2, 40)
      .Lost("24-04-2021", 102, 12, 1)
      .Damaged("20-04-2021", 103, 13, 1, 25);
  previous_.Party(12, "Sharma Builders").Party(13, "Verma & Sons");
  for (int item = 0; item < kItems; ++item)
    previous_.Item(101 + item, "Item " + std::to_string(item));
  previous_.Issue("10-03-2021", "P1", 101, 12, 6)
      .Issue("20-03-2021", "P2", 102, 12, 3)
      .Return("25-03-2021", "PR1", 101, 12, 2)
      .Issue("15-03-2021", "P3", 101, 13, 4);
  // The last connection to close takes the files out of WAL's side files.
  current_.file().connection().Close();
  previous_.file().connection().Close();
  if (!seed_lines) return;
  // Made in this process, as the host would make them; the add-on's
  // connection is closed afterwards with its context.
  for (auto [user, party, rent_date] : {std::tuple{kOtherUser, "Verma & Sons", kRentDate},
                                        std::tuple{kUser, kParty, "15-04-2021"}}) {
    host::ResetThreadCompanyContext();
    RentRunRequest request = Request();
    request.user = user;
    request.party = party;
    request.rent_date = rent_date;
    RentRun run = MakeRentRun(request);
    host::ResetThreadCompanyContext();
    if (run.lines.empty() || run.report.FirstDatabaseFailure()) {
      throw std::runtime_error(std::string(user) + "'s run for " + party + " made no lines");
    }
  }
}

std::vector<std::string> FaultCompany::RunArguments(const std::string& user,
                                                    const std::string& party,
                                                    const std::string& rent_date) const {
  std::vector<std::string> arguments{"run", "--company", current().string(), "--previous-year",
                                     previous().string()};
  arguments.insert(arguments.end(), {"--party", party, "--rent-date", rent_date, "--user", user,
                                     "--format", "csv", "--settle-ms", "0"});
  return arguments;
}

RentRunRequest FaultCompany::Request() const {
  RentRunRequest request;
  request.current = &current_;
  request.previous = &previous_;
  request.party = kParty;
  request.rent_date = kRentDate;
  request.user = kUser;
  return request;
}

ProgramRun FaultCompany::Run(const ChildLimits& limits) const {
  if (!limits.file_size_limit && !limits.without_file_override) {
    return RunProgram(RNT_CLI_PATH, RunArguments());
  }
  return RunProgram(RNT_CLI_PATH, RunArguments(), limits);
}

void FaultCompany::Execute(const std::string& sql) const { RawFile(current()).Execute(sql); }

std::vector<std::string> OtherUsersRows(const std::filesystem::path& company,
                                        const std::string& user) {
  RawFile file(company);
  return Joined(
      file.Rows("select rowid, * from atShut where Uname is not ?1 order by rowid", user));
}

std::vector<std::string> UsersLines(const std::filesystem::path& company, const std::string& user) {
  RawFile file(company);
  auto rows = file.Rows("select * from atShut where Uname = ?1 order by rowid", user);
  for (auto& row : rows) std::sort(row.begin(), row.end());
  return Joined(rows);
}

const CleanRun& TheCleanRun() {
  static const CleanRun clean = [] {
    FaultCompany fresh(false);
    ProgramRun run = fresh.Run();
    MustFinish(run, "the clean run");
    return CleanRun{run.out, UsersLines(fresh.current())};
  }();
  return clean;
}

int LineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace rnt::testing
