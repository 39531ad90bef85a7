#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/rent_run.h"

// A company for fault tests: made the same way every time, so that a run on a
// company after its fault is removed can be compared with a run on a fresh
// one; with another user's lines and the user's own older ones in atShut.
namespace rnt::testing {

// The user whose runs meet the faults, and the one whose lines must survive.
inline constexpr char kUser[] = "anita";
inline constexpr char kOtherUser[] = "ravi";
// The run that meets the fault: Sharma Builders to the end of April 2021.
inline constexpr char kParty[] = "Sharma Builders";
inline constexpr char kRentDate[] = "01-05-2021";

class FaultCompany {
 public:
  // Both years filled: two parties' challans over April 2021 (many lines),
  // damaged and lost pieces, the settings, and issues in March 2021 in the
  // previous year. `seed_lines` adds ravi's lines (a run for Verma & Sons)
  // and anita's older ones (a run to mid-April) to atShut. The company's
  // connections are closed afterwards: the files are left alone, without
  // -wal or -shm files beside them.
  explicit FaultCompany(bool seed_lines = true);

  const std::filesystem::path& current() const { return current_.path(); }
  const std::filesystem::path& previous() const { return previous_.path(); }
  // The same run made in this process, through MakeRentRun.
  RentRunRequest Request() const;

  // The arguments of `rnt0417 run` for a user, party and rent date, the
  // statement as CSV.
  std::vector<std::string> RunArguments(const std::string& user = kUser,
                                        const std::string& party = kParty,
                                        const std::string& rent_date = kRentDate) const;
  // Runs rnt0417 as RunArguments says, within the limits given.
  ProgramRun Run(const ChildLimits& limits = {}) const;

  // Statements on the current year's file through a connection of their own,
  // closed afterwards.
  void Execute(const std::string& sql) const;

 private:
  CompanyYear current_;
  CompanyYear previous_;
};

// The rows of atShut whose user is not `user`, each with its rowid and every
// column in the table's order: what must not change while `user` runs.
std::vector<std::string> OtherUsersRows(const std::filesystem::path& company,
                                        const std::string& user = kUser);

// The user's rows of atShut in the order written, each column as
// "name=value" in name order (so that work tables whose columns come in
// another order compare equal), the rowid left out.
std::vector<std::string> UsersLines(const std::filesystem::path& company,
                                    const std::string& user = kUser);

// The clean run that every faulted company must give once its fault is
// removed: made once, on a fresh company (the same data, no run made on it
// before).
struct CleanRun {
  std::string statement;           // rnt0417's CSV
  std::vector<std::string> lines;  // UsersLines afterwards
};
const CleanRun& TheCleanRun();

// The lines of standard error.
int LineCount(const std::string& text);

}  // namespace rnt::testing
