// Faults of the whole run on the embedded default, made the way they happen
// to a company file and run through rnt0417 as the host would: each run ends
// with exit 1 and a one-line reason (or, for a fault the run can mend, with
// its lines), touches no other user's lines, and a rerun once the fault is
// removed gives exactly the lines of a run on a fresh company. A run that
// finds the company file unusable stops there and leaves the user's older
// lines as they were; one that fails after clearing them leaves none of its
// own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "faults/fault_company.h"

namespace rnt::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr char kNotMade[] = "rnt0417: the run could not be made: ";

class CompanyFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    clean_ = &TheCleanRun();
    others_before_ = OtherUsersRows(company_.current());
    own_before_ = UsersLines(company_.current());
    ASSERT_FALSE(others_before_.empty());
    ASSERT_FALSE(own_before_.empty());
  }

  // The run ended with exit 1, nothing on standard output, and one line on
  // standard error that gives the reason.
  static void ExpectNotMade(const ProgramRun& run, const std::string& reason) {
    EXPECT_EQ(run.exit_status, 1) << run.out << run.err;
    EXPECT_THAT(run.out, IsEmpty());
    EXPECT_THAT(run.err, AllOf(StartsWith(kNotMade), HasSubstr(reason)));
    EXPECT_EQ(LineCount(run.err), 1) << run.err;
  }

  void ExpectOtherUsersUntouched() {
    EXPECT_EQ(OtherUsersRows(company_.current()), others_before_);
  }
  // Nothing could be written: the user's older lines are there as they were.
  void ExpectOwnLinesUntouched() { EXPECT_EQ(UsersLines(company_.current()), own_before_); }

  // Once the fault is removed, the run gives the lines of a fresh company's.
  void ExpectCleanRerun(const ChildLimits& limits = {}) {
    ProgramRun rerun = company_.Run(limits);
    ASSERT_EQ(rerun.exit_status, 0) << rerun.err;
    EXPECT_EQ(rerun.out, clean_->statement);
    EXPECT_EQ(UsersLines(company_.current()), clean_->lines);
    ExpectOtherUsersUntouched();
  }

  FaultCompany company_;
  const CleanRun* clean_ = nullptr;
  std::vector<std::string> others_before_;
  std::vector<std::string> own_before_;
};

// Root writes whatever a file's mode says; the child runs without the
// capabilities that allow it, so that the modes below hold for root as well.
const ChildLimits kAsFileOwner{std::nullopt, true};

TEST_F(CompanyFaults, AReadOnlyCompanyFileEndsTheRunUntilItMayBeWrittenAgain) {
  const std::filesystem::path file = company_.current();
  chmod(file.c_str(), 0444);
  ProgramRun run = company_.Run(kAsFileOwner);
  chmod(file.c_str(), 0644);
  if (run.exit_status == kLimitsNotSet) GTEST_SKIP() << "cannot drop CAP_DAC_OVERRIDE here";
  ExpectNotMade(run, "clear the user's rent lines: statement failed on " + file.string() +
                         ": attempt to write a readonly database");
  ExpectOtherUsersUntouched();
  ExpectOwnLinesUntouched();
  // The read-only run left the file's -shm read-only too; the rerun, as the
  // file's owner still, must not be kept out by it.
  ExpectCleanRerun(kAsFileOwner);
}

TEST_F(CompanyFaults, AReadOnlyFolderEndsTheRunWithTheFolderNamed) {
  const std::filesystem::path folder = company_.current().parent_path();
  chmod(folder.c_str(), 0555);
  ProgramRun run = company_.Run(kAsFileOwner);
  chmod(folder.c_str(), 0755);
  if (run.exit_status == kLimitsNotSet) GTEST_SKIP() << "cannot drop CAP_DAC_OVERRIDE here";
  ExpectNotMade(run, "cannot read company file " + company_.current().string());
  EXPECT_THAT(run.err, HasSubstr("its folder " + folder.string() + " cannot be written"));
  ExpectOtherUsersUntouched();
  ExpectOwnLinesUntouched();
  ExpectCleanRerun(kAsFileOwner);
}

// The one slow test: the run waits out the busy timeout of the embedded
// default (eight seconds) once, and no more.
TEST_F(CompanyFaults, AFileLockedPastTheBusyTimeoutEndsTheRunAfterOneWait) {
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open(company_.current().c_str(), &writer), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; INSERT INTO at_ILC VALUES (9, 9);", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  auto started = std::chrono::steady_clock::now();
  ProgramRun run = company_.Run();
  auto waited = std::chrono::steady_clock::now() - started;
  sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(writer);

  ExpectNotMade(run, "clear the user's rent lines: statement failed on " +
                         company_.current().string() + ": database is locked");
  EXPECT_GE(waited, std::chrono::seconds(7));
  EXPECT_LT(waited, std::chrono::seconds(16)) << "waited more than once";
  ExpectOtherUsersUntouched();
  ExpectOwnLinesUntouched();
  ExpectCleanRerun();
}

// The disk fills half-way through the writing of the run's lines, after they
// were all made and the older ones cleared: none of them is left.
TEST_F(CompanyFaults, ADiskThatFillsWhileTheLinesAreSavedLeavesNoneOfThem) {
  // Every file the run writes may grow to 40 kB: the -shm file (32 kB) and
  // the clearing of the older lines fit, the pages of the new lines do not.
  ChildLimits full_disk;
  full_disk.file_size_limit = 40 * 1024;
  ProgramRun run = company_.Run(full_disk);
  ASSERT_NE(run.exit_status, kLimitsNotSet);
  ExpectNotMade(run, "save the run's rent lines: saving the rows of atShut failed on " +
                         company_.current().string() +
                         ": disk I/O error (writing to the file failed: the disk may be full)");
  EXPECT_THAT(run.err, HasSubstr("none of the run's " + std::to_string(clean_->lines.size()) +
                                 " rent lines was saved"));
  ExpectOtherUsersUntouched();
  EXPECT_THAT(UsersLines(company_.current()), IsEmpty());
  ExpectCleanRerun();
}

TEST_F(CompanyFaults, ACompanyWithoutAtIlcEndsTheRunNamingTheTable) {
  company_.Execute("DROP TABLE at_ILC");
  ProgramRun run = company_.Run();
  ExpectNotMade(run, "read the settings (at_ILC): ");
  EXPECT_THAT(run.err, HasSubstr("no such table: at_ILC"));
  ExpectOtherUsersUntouched();

  company_.Execute(
      "CREATE TABLE at_ILC (bs1 REAL, bs2 REAL); INSERT INTO at_ILC VALUES (1.5, 2.5)");
  ExpectCleanRerun();
}

// The work table of an older version: its first nine columns. The run gives
// it the columns added since and goes on; the older lines keep their values.
TEST_F(CompanyFaults, AnOlderWorkTableIsGivenItsNewColumnsAndKeepsEveryonesLines) {
  FaultCompany company(false);
  company.Execute(
      "CREATE TABLE atShut ([SrNo] float,[RNo] varchar(40),[Uname] varchar(40),[Code1] "
      "float,[Days] float,[Qty] float,[Qty2] float,[Price] float,[PDate] varchar(40));"
      "INSERT INTO atShut VALUES (1, 'C4', 'ravi', 101, 6, 30, 45, 1.5, NULL),"
      "(2, 'C10', 'ravi', 101, 5, 25, 37.5, 1.5, '01-04-2021'),"
      "(1, 'old', 'anita', 102, 3, 3, 3, 1, NULL);");
  std::vector<std::string> others = OtherUsersRows(company.current());

  ProgramRun run = company.Run();
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out, clean_->statement);
  EXPECT_EQ(UsersLines(company.current()), clean_->lines);
  std::vector<std::string> after = OtherUsersRows(company.current());
  ASSERT_EQ(after.size(), others.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_THAT(after[i], StartsWith(others[i] + " D1=null D2=null D3=null D4=null"));
  }
}

// A work table that lacks a column its statements cannot add: no run can
// write whole lines into it.
TEST_F(CompanyFaults, AWorkTableLackingAColumnEndsTheRunWithTheColumnNamed) {
  const std::string kept_columns =
      "SrNo, RNo, Uname, Code1, Days, Qty, Qty2, PDate, D1, D2, D3, D4, RecType, Dte1, Dte2, "
      "ChallanNo, ChallanDate";
  company_.Execute(
      "ALTER TABLE atShut RENAME TO atShutFull;"
      "CREATE TABLE atShut ([SrNo] float,[RNo] varchar(40),[Uname] varchar(40),[Code1] float,"
      "[Days] float,[Qty] float,[Qty2] float,[PDate] varchar(40),[D1] float,[D2] float,"
      "[D3] float,[D4] float,[RecType] float,[Dte1] varchar(15),[Dte2] varchar(15),"
      "[ChallanNo] varchar(15),[ChallanDate] varchar(15));"
      "INSERT INTO atShut SELECT " +
      kept_columns + " FROM atShutFull ORDER BY rowid; DROP TABLE atShutFull;");
  others_before_ = OtherUsersRows(company_.current());
  own_before_ = UsersLines(company_.current());

  ProgramRun run = company_.Run();
  ExpectNotMade(run,
                "make sure of the work table's columns: the work table atShut lacks the columns "
                "Price");
  ExpectOtherUsersUntouched();

  company_.Execute("ALTER TABLE atShut ADD Price float");
  ProgramRun rerun = company_.Run();
  ASSERT_EQ(rerun.exit_status, 0) << rerun.err;
  EXPECT_EQ(UsersLines(company_.current()), clean_->lines);
}

// The previous financial year's file, damaged two ways: not a database at
// all, and a database whose pages past the first are garbage.
struct PreviousYearDamage {
  const char* name;
  void (*damage)(const std::filesystem::path& file);
  const char* reason;
};

void PrintTo(const PreviousYearDamage& damage, std::ostream* out) { *out << damage.name; }

class PreviousYearFaults : public CompanyFaults,
                           public ::testing::WithParamInterface<PreviousYearDamage> {};

TEST_P(PreviousYearFaults, EndTheRunRatherThanBillWithoutThatYear) {
  const std::filesystem::path previous = company_.previous();
  const std::filesystem::path kept = previous.string() + ".kept";
  std::filesystem::copy_file(previous, kept);
  GetParam().damage(previous);

  ProgramRun run = company_.Run();
  ExpectNotMade(run, GetParam().reason);
  EXPECT_THAT(run.err, HasSubstr(previous.string()));
  ExpectOtherUsersUntouched();

  std::filesystem::copy_file(kept, previous, std::filesystem::copy_options::overwrite_existing);
  ExpectCleanRerun();
}

INSTANTIATE_TEST_SUITE_P(
    Damage, PreviousYearFaults,
    ::testing::Values(PreviousYearDamage{"NotADatabase",
                                         [](const std::filesystem::path& file) {
                                           std::ofstream(file, std::ios::trunc)
                                               << "a spreadsheet saved under the year's name";
                                         },
                                         "cannot read company file"},
                      PreviousYearDamage{"GarbagePages",
                                         [](const std::filesystem::path& file) {
                                           std::fstream bytes(file, std::ios::in | std::ios::out |
                                                                        std::ios::binary);
                                           bytes.seekp(0, std::ios::end);
                                           std::streamoff size = bytes.tellp();
                                           bytes.seekp(4096);
                                           for (std::streamoff at = 4096; at < size; ++at)
                                             bytes.put('\x5a');
                                         },
                                         "malformed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rnt::testing
