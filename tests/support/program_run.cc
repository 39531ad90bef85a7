#include "support/program_run.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace rnt::testing {
namespace {

// The argument vector of execve; it points into `arguments`.
std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Drops the capabilities that override a file's mode from the bounding and
// inheritable sets, so that the program started next runs without them.
bool DropFileOverride() {
  if (geteuid() != 0) return true;  // only root has them to drop
  const int dropped[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
  for (int capability : dropped) {
    if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) return false;
  }
  if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0) return false;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  for (int capability : dropped) {
    data[CAP_TO_INDEX(capability)].inheritable &= ~CAP_TO_MASK(capability);
  }
  return syscall(SYS_capset, &header, data) == 0;
}

// In the forked child before the program starts: async-signal-safe calls only.
bool Limit(const ChildLimits& limits) {
  if (limits.without_file_override && !DropFileOverride()) return false;
  if (limits.file_size_limit) {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    const auto bytes = static_cast<rlim_t>(*limits.file_size_limit);
    const rlimit size{bytes, bytes};
    if (sigaction(SIGXFSZ, &ignore, nullptr) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0) {
      return false;
    }
  }
  alarm(limits.seconds);  // kept across execve
  return true;
}

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectFileHolds(const std::filesystem::path& file, const std::string& text) {
  const auto kept = std::filesystem::exists(file) ? std::optional(FileText(file)) : std::nullopt;
  if (kept == text) return;
  if (const char* rewrite = std::getenv("RNT_REWRITE_EXPECTED");
      rewrite && std::string_view(rewrite) == "1") {
    const bool written = static_cast<bool>(std::ofstream(file, std::ios::binary) << text);
    ADD_FAILURE() << (written ? "rewrote " : "could not write ") << file.string()
                  << ": look at the change before committing it";
  } else {
    EXPECT_EQ(text, kept.value_or(""))
        << file.string() << (kept ? " holds otherwise" : " is missing")
        << "; after a deliberate change RNT_REWRITE_EXPECTED=1 rewrites it";
  }
}

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const ChildLimits& limits) {
  const std::string out = (folder_.path() / "out").string();
  const std::string err = (folder_.path() / "err").string();
  std::vector<char*> argv = Argv(program, arguments);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start " + program);
  if (pid_ == 0) {
    // Each file opened takes the lowest descriptor free: 0, 1 and 2 in turn.
    for (int descriptor : {0, 1, 2}) close(descriptor);
    if (open("/dev/null", O_RDONLY) != 0 || open(out.c_str(), O_WRONLY | O_CREAT, 0600) != 1 ||
        open(err.c_str(), O_WRONLY | O_CREAT, 0600) != 2 || !Limit(limits)) {
      _exit(kLimitsNotSet);
    }
    execve(argv[0], argv.data(), environ);
    _exit(127);
  }
}

bool BackgroundProgram::Ended(int wait_options) {
  int status = 0;
  if (!finished_ && waitpid(pid_, &status, wait_options) == pid_) {
    finished_ = {ExitStatus(status), FileText(folder_.path() / "out"),
                 FileText(folder_.path() / "err")};
  }
  return finished_.has_value();
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits) {
  return BackgroundProgram(program, arguments, limits).Wait();
}

ProgramRun RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         int columns) {
  int terminal = -1;
  winsize size{24, static_cast<unsigned short>(columns), 0, 0};
  std::vector<char*> argv = Argv(program, arguments);
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("cannot start " + program + " on a terminal");
  if (pid == 0) {
    execve(argv[0], argv.data(), environ);
    _exit(127);
  }
  ProgramRun run;
  char buffer[4096];
  // Reading ends with an error once the program has closed the terminal.
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) run.out.append(buffer, n);
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_status = ExitStatus(status);
  return run;
}

::testing::AssertionResult EndedWith(const ProgramRun& run, int status, std::string_view reason) {
  if (run.exit_status == status && std::ranges::count(run.err, '\n') == 1 &&
      run.err.find(reason) != std::string::npos) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "exit " << run.exit_status << " (not " << status
                                       << " with one line holding '" << reason << "'):\n"
                                       << run.err;
}

}  // namespace rnt::testing
