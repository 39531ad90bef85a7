#include "cli/user_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "cli/run_values.h"
#include "refhost/company_files.h"
#include "rnt/error.h"

namespace rnt::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollEvery{100};

// The byte of the lock file that stands for a user: far apart for any two
// names (a 64-bit hash), and within the offsets a lock can take.
off_t UserByte(const std::string& user) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : user) hash = (hash ^ c) * 1099511628211ull;
  return static_cast<off_t>(hash & 0x3fffffffffffffffull);
}

// A lock of the open lock file: closing another handle of the same file
// elsewhere in the process (a folder being read) leaves it held.
class FileUserLock : public UserLock {
 public:
  FileUserLock(const std::filesystem::path& year_file, const std::string& user)
      : company_(year_file), file_(UserLockFile(year_file)), byte_(UserByte(user)) {
    struct stat company {};
    const mode_t mode = stat(year_file.c_str(), &company) == 0 ? (company.st_mode & 0666) : 0644;
    fd_ = open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
    // Whoever may not write the lock file (its mode is the company file's)
    // or the folder may not write the company's data either: the command
    // goes on to fail with that reason, and has no lines to keep apart.
    if (fd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) return;
    if (fd_ < 0) {
      throw RunError("cannot make the lock file " + file_.string() +
                     " that keeps one user's commands apart: " + std::strerror(errno));
    }
    fchmod(fd_, mode);  // every clerk of the company opens it, whatever the umask
  }
  ~FileUserLock() override {
    if (fd_ >= 0) close(fd_);  // the lock goes with the file's handle
  }

  // Whether the lock was taken; false while another command holds it.
  bool TryLock() {
    if (fd_ < 0) return true;  // nothing that could be written to keep apart
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte_;
    lock.l_len = 1;
    if (fcntl(fd_, F_OFD_SETLK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw RunError("cannot lock " + file_.string() + ": " + std::strerror(errno));
  }
  std::string Where() const { return company_.string(); }

 private:
  std::filesystem::path company_;
  std::filesystem::path file_;
  off_t byte_;
  int fd_ = -1;
};

// An advisory lock of the server session that reads and writes the current
// year's catalogue; the server lets it go when the session ends.
class ServerUserLock : public UserLock {
 public:
  ServerUserLock(std::shared_ptr<refhost::YearFile> year, const std::string& user)
      : year_(std::move(year)), user_(user) {}

  bool TryLock() {
    // The lock's two keys: the program's number and the user's name hashed.
    const std::string sql = "do $rnt$ begin if not pg_try_advisory_lock(417, hashtext(" +
                            refhost::QuotedText(user_) +
                            ")) then raise exception 'rnt0417: user busy'; end if; end $rnt$";
    try {
      year_->Connection().backend()->ExecuteNative(sql);
      return true;
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error& error) {
      if (std::strstr(error.what(), "rnt0417: user busy")) return false;
      throw RunError(error.what());
    }
  }
  std::string Where() const { return "catalogue " + year_->name(); }

 private:
  std::shared_ptr<refhost::YearFile> year_;
  std::string user_;
};

template <typename Lock>
std::unique_ptr<UserLock> TakeWaiting(std::unique_ptr<Lock> lock, const std::string& user,
                                      std::chrono::seconds wait, std::ostream& err) {
  if (lock->TryLock()) return lock;
  err << "rnt0417: waiting for another command of user " << user << " on " << lock->Where()
      << " to end (up to " << wait.count() << " seconds)" << std::endl;
  const Clock::time_point until = Clock::now() + wait;
  while (Clock::now() < until) {
    std::this_thread::sleep_for(kPollEvery);
    if (lock->TryLock()) return lock;
  }
  throw RunError("another command of user " + user + " on " + lock->Where() +
                 " was still running after a wait of " + std::to_string(wait.count()) +
                 " seconds; nothing was done");
}

}  // namespace

std::filesystem::path UserLockFile(const std::filesystem::path& year_file) {
  return year_file.string() + "-users.lock";
}

std::unique_ptr<UserLock> LockUserCommands(const refhost::CompanyData& company,
                                           const std::string& user, std::chrono::seconds wait,
                                           std::ostream& err) {
  try {
    if (company.files().server) {
      return TakeWaiting(std::make_unique<ServerUserLock>(company.current(), user), user, wait,
                         err);
    }
    return TakeWaiting(std::make_unique<FileUserLock>(company.files().current, user), user, wait,
                       err);
  } catch (const DatabaseUnavailable& error) {
    throw RunError(error.what());
  }
}

}  // namespace rnt::cli
