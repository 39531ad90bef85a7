#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "refhost/company_files.h"

namespace rnt::cli {

// Held while one command of a user reads or writes that user's rent lines on
// a company: the work table holds one set of lines per user, so a second
// command of the same user (another window) must not replace them between
// the first one's run and its post. Other users are never held up.
//
// On files it is a lock of the open file (not of the process) on one byte,
// chosen by the user's name, of a lock file beside the current year's file:
// never a lock on the database file or its side files, whose locks belong to
// the database library. On the server it is an advisory lock of the session
// on the current year's catalogue, keyed by the user's name; it ends with the
// session.
class UserLock {
 public:
  virtual ~UserLock() = default;
};

// Takes the user's lock on the company. When another command of the user
// holds it, says so on `err` and waits for it up to `wait`; then throws
// RunError naming the wait. Throws RunError when the lock file cannot be
// made or locked.
std::unique_ptr<UserLock> LockUserCommands(const refhost::CompanyData& company,
                                           const std::string& user, std::chrono::seconds wait,
                                           std::ostream& err);

// The lock file of a company year's file.
std::filesystem::path UserLockFile(const std::filesystem::path& year_file);

}  // namespace rnt::cli
