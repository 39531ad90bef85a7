#include "program_cost.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

extern char** environ;

namespace rnt::bench {

ProgramCost RunRnt0417(const std::vector<std::string>& arguments) {
  std::string program = RNT_CLI_PATH;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv{program.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  auto started = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("rnt0417 failed with status " + std::to_string(status));
  }
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
          usage.ru_maxrss};
}

std::string ServerLoginLine() {
  const char* env = std::getenv("RNT_PG_ENV");
  if (!env) return {};
  std::ifstream in(env);
  std::map<std::string, std::string> facts;
  for (std::string line; std::getline(in, line);) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) facts[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return "x;" + facts["PGHOST"] + ":" + facts["PGPORT"] + ";" + facts["PGUSER"] + ";" +
         facts["PGPASSWORD"];
}

}  // namespace rnt::bench
