#include "support/program_run.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "support/company_file.h"

extern char** environ;

namespace rnt::testing {
namespace {

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The argument vector of execve and posix_spawn; it points into `arguments`.
std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// A started program and the files its output goes to.
struct Started {
  pid_t pid = 0;
  std::filesystem::path out;
  std::filesystem::path err;
};

Started Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::filesystem::path& folder, int index) {
  Started started{0, folder / ("out" + std::to_string(index)),
                  folder / ("err" + std::to_string(index))};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, started.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, started.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  std::vector<char*> argv = Argv(program, arguments);
  int rc = posix_spawn(&started.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program);
  return started;
}

// What a program that ended with `status` printed.
ProgramRun Ended(const Started& started, int status) {
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Slurp(started.out),
          Slurp(started.err)};
}

ProgramRun Finish(const Started& started) {
  int status = 0;
  waitpid(started.pid, &status, 0);
  return Ended(started, status);
}

}  // namespace

struct BackgroundProgram::State {
  TempFolder folder;
  Started started;
  std::optional<ProgramRun> finished;
};

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& arguments)
    : state_(std::make_unique<State>()) {
  state_->started = Start(program, arguments, state_->folder.path(), 0);
}

BackgroundProgram::~BackgroundProgram() {
  if (!state_->finished) Wait();
}

bool BackgroundProgram::Running() {
  if (state_->finished) return false;
  int status = 0;
  pid_t done = waitpid(state_->started.pid, &status, WNOHANG);
  if (done == 0) return true;
  state_->finished = Ended(state_->started, status);
  return false;
}

void BackgroundProgram::Kill() {
  if (!state_->finished) kill(state_->started.pid, SIGKILL);
}

ProgramRun BackgroundProgram::Wait() {
  if (!state_->finished) state_->finished = Finish(state_->started);
  return *state_->finished;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  return RunProgramsTogether(program, {arguments}).front();
}

namespace {

// Drops the capabilities that override a file's mode from the calling
// process's bounding and inheritable sets, so that a program it starts runs
// without them. Only async-signal-safe calls: it runs in a forked child.
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

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const ChildLimits& limits) {
  TempFolder folder;
  std::string out = (folder.path() / "out").string();
  std::string err = (folder.path() / "err").string();
  std::vector<char*> argv = Argv(program, arguments);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("cannot start " + program);
  if (pid == 0) {
    int in_fd = open("/dev/null", O_RDONLY);
    int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0 || dup2(in_fd, 0) < 0 || dup2(out_fd, 1) < 0 ||
        dup2(err_fd, 2) < 0) {
      _exit(kLimitsNotSet);
    }
    if (limits.without_file_override && !DropFileOverride()) _exit(kLimitsNotSet);
    if (limits.file_size_limit) {
      struct sigaction ignore = {};
      ignore.sa_handler = SIG_IGN;
      rlimit size{static_cast<rlim_t>(*limits.file_size_limit),
                  static_cast<rlim_t>(*limits.file_size_limit)};
      if (sigaction(SIGXFSZ, &ignore, nullptr) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0) {
        _exit(kLimitsNotSet);
      }
    }
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  return Finish(Started{pid, out, err});
}

ProgramRun RunOnTerminal(const std::string& program, const std::vector<std::string>& arguments,
                         int columns) {
  int terminal = -1;
  winsize size{24, static_cast<unsigned short>(columns), 0, 0};
  std::vector<char*> argv = Argv(program, arguments);
  pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("cannot start " + program + " on a terminal");
  if (pid == 0) {
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  ProgramRun run;
  char buffer[4096];
  // Reading ends with an error once the program has closed the terminal.
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) run.out.append(buffer, n);
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::vector<ProgramRun> RunProgramsTogether(const std::string& program,
                                            const std::vector<std::vector<std::string>>& runs) {
  TempFolder folder;
  std::vector<Started> started;
  for (size_t i = 0; i < runs.size(); ++i) {
    started.push_back(Start(program, runs[i], folder.path(), static_cast<int>(i)));
  }
  std::vector<ProgramRun> finished;
  for (const Started& one : started) finished.push_back(Finish(one));
  return finished;
}

}  // namespace rnt::testing
