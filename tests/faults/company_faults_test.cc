// Faults of the whole run on the embedded default, made the way they happen
// to a company file and run through rnt0417 as the host would: each run ends
// with exit 1 and a one-line reason (or, for a fault the run can mend, with
// its lines), touches no other user's lines, and a rerun once the fault is
// removed gives exactly the lines of a run on a fresh company. A run that
// finds the company file unusable stops there and leaves the user's older
// lines as they were; one that fails after clearing them leaves none of its
// own. The parameters file that the host writes for a run, missing or wrong,
// is tried in this process as the host makes its runs.
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <tuple>

#include "db/work_table.h"
#include "host/company_context.h"
#include "platform/addon_files.h"
#include "support/program_run.h"
#include "support/rent_run.h"

namespace rnt::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// The user whose runs meet the faults, and the one whose lines must survive;
// the run that meets the fault: Sharma Builders to the end of April 2021.
constexpr char kUser[] = "anita", kOtherUser[] = "ravi";
constexpr char kParty[] = "Sharma Builders", kRentDate[] = "01-05-2021";

// The rows of a statement on a company file through a connection of its own
// (that waits for another writer as a run does), each as its columns'
// "name=value" ("null" for a null).
std::vector<std::string> FileRows(const std::filesystem::path& file, const std::string& sql) {
  const auto collect = [](void* into, int count, char** values, char** names) {
    std::string& row = static_cast<std::vector<std::string>*>(into)->emplace_back();
    for (int i = 0; i < count; ++i) {
      row += fmt::format("{}{}={}", i ? " " : "", names[i], values[i] ? values[i] : "null");
    }
    return 0;
  };
  sqlite3* db = nullptr;
  std::vector<std::string> rows;
  char* message = nullptr;
  const bool done =
      sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_busy_timeout(db, 8000) == SQLITE_OK &&
      sqlite3_exec(db, sql.c_str(), collect, &rows, &message) == SQLITE_OK;
  const std::string why = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  sqlite3_close(db);
  if (!done) throw std::runtime_error(file.string() + ": " + why + " [" + sql + "]");
  return rows;
}

// The rows of atShut of users other than kUser, each with its rowid and every
// column in the table's order: what must not change while kUser runs.
std::vector<std::string> OtherUsersRows(const std::filesystem::path& company) {
  return FileRows(company, "select rowid, * from atShut where Uname is not 'anita' order by rowid");
}

// kUser's rows of atShut in the order written, the work table's columns in
// their order whatever order the table has them in, the rowid left out.
std::vector<std::string> UsersLines(const std::filesystem::path& company) {
  return FileRows(company, fmt::format("select {} from atShut where Uname = 'anita' order by rowid",
                                       fmt::join(db::WorkTableColumns(), ", ")));
}

// A company for fault tests, made the same way every time, so that a run on a
// company after its fault is removed can be compared with a run on a fresh
// one. Both years are filled: two parties' challans over April 2021 (many
// lines, sixteen items), damaged and lost pieces, the settings, and issues in
// March 2021 in the previous year. `seed_lines` adds ravi's lines (a run for
// Verma & Sons) and anita's older ones (a run to mid-April) to atShut. The
// company's connections are closed afterwards: the files are left alone,
// without -wal or -shm files beside them.
class FaultCompany {
 public:
  explicit FaultCompany(bool seed_lines = true)
      : current_(Date::FromYmd(2021, 4, 1)), previous_(Date::FromYmd(2020, 4, 1)) {
    FillTwoPartyMonth(current_, 16);
    current_.Settings(1.5, 2.5)
        .Damaged("18-04-2021", 101, 12, 2, 40)
        .Lost("24-04-2021", 102, 12, 1)
        .Damaged("20-04-2021", 103, 13, 1, 25);
    previous_.Party(12, "Sharma Builders").Party(13, "Verma & Sons");
    for (int item = 0; item < 16; ++item)
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
      RentRun run = MakeRun(Request(user, party, rent_date));
      if (run.lines.empty() || run.report.FirstDatabaseFailure()) {
        throw std::runtime_error(std::string(user) + "'s run for " + party + " made no lines");
      }
    }
  }

  const std::filesystem::path& current() const { return current_.path(); }
  const std::filesystem::path& previous() const { return previous_.path(); }

  // A run made in this process through MakeRentRun, kUser's by default.
  RentRunRequest Request(const char* user = kUser, const char* party = kParty,
                         const char* rent_date = kRentDate) const {
    return {&current_, &previous_, party, rent_date, {}, user, nullptr, {}};
  }
  static RentRun MakeRun(const RentRunRequest& request) {
    host::ResetThreadCompanyContext();
    RentRun run = MakeRentRun(request);
    host::ResetThreadCompanyContext();
    return run;
  }

  // The same run by rnt0417, the statement as CSV, within the limits given.
  ProgramRun Run(const ChildLimits& limits = {}) const {
    return RunProgram(
        RNT_CLI_PATH,
        {"run", "--company", current().string(), "--previous-year", previous().string(), "--party",
         kParty, "--rent-date", kRentDate, "--user", kUser, "--format", "csv"},
        limits);
  }

  void Execute(const std::string& sql) const { FileRows(current(), sql); }

 private:
  CompanyYear current_;
  CompanyYear previous_;
};

// The clean run that every faulted company must give once its fault is
// removed: made once, on a fresh company (the same data, no run made on it
// before).
struct CleanRun {
  std::string statement;           // rnt0417's CSV
  std::vector<std::string> lines;  // UsersLines afterwards
};

const CleanRun& TheCleanRun() {
  static const CleanRun clean = [] {
    FaultCompany fresh(false);
    ProgramRun run = fresh.Run();
    if (run.exit_status != 0) throw std::runtime_error("the clean run failed: " + run.err);
    return CleanRun{run.out, UsersLines(fresh.current())};
  }();
  return clean;
}

// Root writes whatever a file's mode says; the child runs without the
// capabilities that allow it, so that the modes below hold for root as well.
const ChildLimits kAsFileOwner{std::nullopt, true, 0};

class CompanyFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    others_ = OtherUsersRows(company_.current());
    own_ = UsersLines(company_.current());
    ASSERT_FALSE(others_.empty() || own_.empty());
  }

  // Exit 1, nothing printed, the reason in one line; no other user's line
  // touched, and the user's lines as `own` says, where it says.
  void ExpectNotMade(const ProgramRun& run, const std::string& reason,
                     std::optional<std::vector<std::string>> own = std::nullopt) {
    EXPECT_TRUE(EndedWith(run, 1, reason));
    EXPECT_THAT(run.err, StartsWith("rnt0417: the run could not be made: "));
    EXPECT_THAT(run.out, IsEmpty());
    EXPECT_EQ(OtherUsersRows(company_.current()), others_);
    if (own) {
      EXPECT_EQ(UsersLines(company_.current()), *own);
    }
  }

  // Once the fault is removed, the run gives the lines of a fresh company's.
  void ExpectCleanRerun(const ChildLimits& limits = {}) {
    ProgramRun rerun = company_.Run(limits);
    ASSERT_EQ(rerun.exit_status, 0) << rerun.err;
    EXPECT_EQ(rerun.out, TheCleanRun().statement);
    EXPECT_EQ(UsersLines(company_.current()), TheCleanRun().lines);
    EXPECT_EQ(OtherUsersRows(company_.current()), others_);
  }

  FaultCompany company_;
  std::vector<std::string> others_;
  std::vector<std::string> own_;  // the user's older lines
};

TEST_F(CompanyFaults, AReadOnlyFileOrFolderEndsTheRunUntilItMayBeWrittenAgain) {
  const std::string file = company_.current().string();
  const std::string folder = company_.current().parent_path().string();
  const std::pair<std::string, std::string> kReadOnly[] = {
      {file, "clear the user's rent lines: statement failed on " + file +
                 ": attempt to write a readonly database"},
      {folder, "cannot read company file " + file +
                   ": attempt to write a readonly database (its folder " + folder +
                   " cannot be written"}};
  for (const auto& [path, reason] : kReadOnly) {
    own_ = UsersLines(file);
    chmod(path.c_str(), 0555);
    ProgramRun run = company_.Run(kAsFileOwner);
    chmod(path.c_str(), 0755);
    if (run.exit_status == kLimitsNotSet) GTEST_SKIP() << "cannot drop CAP_DAC_OVERRIDE here";
    ExpectNotMade(run, reason, own_);
    // A read-only run leaves the file's -shm read-only too; the rerun, as the
    // file's owner still, must not be kept out by it.
    ExpectCleanRerun(kAsFileOwner);
  }
}

// The one slow test: the run waits out the busy timeout of the embedded
// default (eight seconds) once, and no more.
TEST_F(CompanyFaults, AFileLockedPastTheBusyTimeoutEndsTheRunAfterOneWait) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(company_.current().c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; INSERT INTO at_ILC (bs1, bs2) VALUES (9, 9);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const auto started = std::chrono::steady_clock::now();
  ProgramRun run = company_.Run();
  const auto waited = std::chrono::steady_clock::now() - started;
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);

  ExpectNotMade(run,
                "clear the user's rent lines: statement failed on " + company_.current().string() +
                    ": database is locked",
                own_);
  EXPECT_GE(waited, std::chrono::seconds(7));
  EXPECT_LT(waited, std::chrono::seconds(16)) << "waited more than once";
  ExpectCleanRerun();
}

// The disk fills half-way through the writing of the run's lines, after they
// were all made and the older ones cleared: none of them is left.
TEST_F(CompanyFaults, ADiskThatFillsWhileTheLinesAreSavedLeavesNoneOfThem) {
  // Every file the run writes may grow to 40 kB: the -shm file (32 kB) and
  // the clearing of the older lines fit, the pages of the new lines do not.
  ProgramRun run = company_.Run({40 * 1024, false, 0});
  ASSERT_NE(run.exit_status, kLimitsNotSet);
  ExpectNotMade(run,
                "save the run's rent lines: saving the rows of atShut failed on " +
                    company_.current().string() +
                    ": disk I/O error (writing to the file failed: the disk may be full)",
                std::vector<std::string>{});
  EXPECT_THAT(run.err, HasSubstr("none of the run's " + std::to_string(TheCleanRun().lines.size()) +
                                 " rent lines was saved"));
  ExpectCleanRerun();
}

// Tables that the run cannot do without, or must mend: the work table of an
// older version (its first nine columns), given the columns added since,
// empty, after the older ones; no settings table; a day rule that names no
// rule; a work table lacking a column its statements cannot add. Once the table is repaired the run
// gives the lines of a fresh company, the other users' lines keeping their values.
TEST_F(CompanyFaults, AMissingTableEndsTheRunNamingItAnOlderWorkTableIsMended) {
  const struct {
    std::string damage, reason, repair, added_to_others;
  } kTables[] = {
      {"ALTER TABLE atShut DROP COLUMN D1; ALTER TABLE atShut DROP COLUMN D2; "
       "ALTER TABLE atShut DROP COLUMN D3; ALTER TABLE atShut DROP COLUMN D4; "
       "ALTER TABLE atShut DROP COLUMN RecType; ALTER TABLE atShut DROP COLUMN Dte1; "
       "ALTER TABLE atShut DROP COLUMN Dte2; ALTER TABLE atShut DROP COLUMN ChallanNo; "
       "ALTER TABLE atShut DROP COLUMN ChallanDate",
       "", "",
       " D1=null D2=null D3=null D4=null RecType=null Dte1=null Dte2=null ChallanNo=null "
       "ChallanDate=null"},
      {"DROP TABLE at_ILC",
       "read the settings (at_ILC): statement failed on " + company_.current().string() +
           ": no such table: at_ILC",
       "CREATE TABLE at_ILC (bs1 REAL, bs2 REAL); INSERT INTO at_ILC VALUES (1.5, 2.5)", ""},
      {"ALTER TABLE at_ILC ADD COLUMN DayRule TEXT; UPDATE at_ILC SET DayRule='weekly'",
       "read the settings (at_ILC): the day rule 'weekly' in at_ILC (DayRule) is none of 'both "
       "days', 'end of day' and 'as before'",
       "UPDATE at_ILC SET DayRule='both days'", ""},
      {"ALTER TABLE atShut DROP COLUMN Price", "the work table atShut lacks the columns Price",
       "ALTER TABLE atShut ADD Price float", " Price=null"},
  };
  for (const auto& [damage, reason, repair, added_to_others] : kTables) {
    company_.Execute(damage);
    others_ = OtherUsersRows(company_.current());
    if (!reason.empty()) ExpectNotMade(company_.Run(), reason);
    if (!repair.empty()) company_.Execute(repair);
    for (std::string& row : others_) row += added_to_others;
    ExpectCleanRerun();
  }
}

// The previous financial year's file, damaged two ways: not a database at
// all, and a database whose pages past the first are garbage.
TEST_F(CompanyFaults, ADamagedPreviousYearEndsTheRunRatherThanBillWithoutIt) {
  const std::filesystem::path previous = company_.previous(), kept = previous.string() + ".kept";
  std::filesystem::copy_file(previous, kept);
  const struct {
    std::streamoff at;
    std::string bytes;
    const char* reason;
  } kDamage[] = {{0, "a spreadsheet saved under the year's name", "cannot read company file"},
                 {4096, std::string(std::filesystem::file_size(kept) - 4096, 'Z'), "malformed"}};
  for (const auto& [at, bytes, reason] : kDamage) {
    std::fstream(previous, std::ios::in | std::ios::out | std::ios::binary).seekp(at) << bytes;
    std::filesystem::resize_file(previous, at + bytes.size());
    ProgramRun run = company_.Run();
    ExpectNotMade(run, reason);
    EXPECT_THAT(run.err, HasSubstr(previous.string()));
    std::filesystem::copy_file(kept, previous, std::filesystem::copy_options::overwrite_existing);
    ExpectCleanRerun();
  }
}

// The parameters file missing or wrong: the run counts as not made, says why
// in its report and touches no other user's lines; the host's next run, with
// a good file, gives the lines of a fresh company.
TEST_F(CompanyFaults, AWrongParametersFileEndsTheRunWithTheReason) {
  const std::pair<const char*, const char*> kCases[] = {
      {nullptr, "cannot read the parameters file"},  // no file at all
      {"", "is empty"},
      {"01-05-2021\r\n", "has 1 field(s)"},
      {"01-05-2021<?#>Sharma Builders\r\n", "has 2 field(s)"},
      {"01-05-2021<?#><?#>01-05-2021\r\n", "names no party"},
      {"first of May<?#>Sharma Builders<?#>01-05-2021\r\n",
       "the rent date is not a date: 'first of May'"},
      {"01-05-2021<?#>Sharma Builders<?#>soon\r\n", "the search date is not a date: 'soon'"},
  };
  const std::string file_name = platform::ParametersFileName(kUser);
  for (const auto& [text, reason] : kCases) {
    RentRunRequest request = company_.Request();
    request.before_start = [&](const std::filesystem::path& folder) {
      std::filesystem::remove(folder / file_name);
      if (text) std::ofstream(folder / file_name, std::ios::binary) << text;
    };
    RentRun run = FaultCompany::MakeRun(request);
    const SkippedStep* failure = run.report.FirstDatabaseFailure();
    ASSERT_NE(failure, nullptr) << reason;
    EXPECT_EQ(failure->step, text ? "check the parameters file" : "read the parameters file");
    EXPECT_THAT(failure->failure, ::testing::AllOf(HasSubstr(reason), HasSubstr(file_name)));
    EXPECT_FALSE(run.report.refusal);
    // Start ended as always, with its pause and the default pointer.
    ASSERT_FALSE(run.windowing_events.empty());
    EXPECT_EQ(run.windowing_events.back(), "yield");
    EXPECT_EQ(OtherUsersRows(company_.current()), others_);

    EXPECT_EQ(FaultCompany::MakeRun(company_.Request()).report.FirstDatabaseFailure(), nullptr);
    EXPECT_EQ(UsersLines(company_.current()), TheCleanRun().lines);
    EXPECT_EQ(OtherUsersRows(company_.current()), others_);
  }
}

}  // namespace
}  // namespace rnt::testing
