#include "program_cost.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace rnt::bench {
namespace {

// The counts of the line "rnt0417: statements sent: add-on N, host current
// year N, host previous year N" that --report prints.
void ReadStatementCounts(const std::string& printed, ProgramCost& cost) {
  const std::string marker = "rnt0417: statements sent: add-on ";
  const size_t at = printed.find(marker);
  if (at == std::string::npos) return;
  std::sscanf(printed.c_str() + at + marker.size(),
              "%ld, host current year %ld, host previous year %ld", &cost.addon_statements,
              &cost.host_current_year_statements, &cost.host_previous_year_statements);
}

}  // namespace

ProgramCost RunRnt0417(const std::vector<std::string>& arguments) {
  std::string program = RNT_CLI_PATH;
  const std::string errors =
      (std::filesystem::temp_directory_path() / ("rnt0417-bench-err-" + std::to_string(getpid())))
          .string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::stringstream printed;
  printed << std::ifstream(errors).rdbuf();
  std::filesystem::remove(errors);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("rnt0417 failed with status " + std::to_string(status) + ": " +
                             printed.str());
  }
  ProgramCost cost{seconds, usage.ru_maxrss};
  ReadStatementCounts(printed.str(), cost);
  return cost;
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
