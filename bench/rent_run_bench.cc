// Whole rent runs through rnt0417 run, as a user makes them: wall time and
// the peak memory of the program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "company_generator.h"
#include "program_cost.h"

namespace {

// Runs rnt0417; returns its peak memory in KiB.
long RunProgram(const std::vector<std::string>& arguments) {
  return rnt::bench::RunRnt0417(arguments).peak_kib;
}

// One run of the generated party over its two years, on files.
void RunGeneratedParty(benchmark::State& state, const rnt::bench::CompanySize& size) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("rnt0417-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  rnt::bench::GeneratedCompany company = rnt::bench::GenerateCompany(folder, size);
  long peak_kib = 0;
  for (auto _ : state) {
    peak_kib =
        RunProgram({"run", "--company", company.current_year.string(), "--previous-year",
                    company.previous_year.string(), "--party", company.party, "--rent-date",
                    company.rent_date, "--user", "bench", "--settle-ms", "0", "--format", "csv"});
  }
  state.counters["movement_rows"] = 2 * size.movement_rows_per_year;
  state.counters["peak_memory_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  std::filesystem::remove_all(folder);
}

// A first calculation of one party with 50 items and 10,000 movement rows in
// each of two financial years.
void BM_FirstCalculation20000Rows(benchmark::State& state) {
  RunGeneratedParty(state, {50, 10000, 7});
}
BENCHMARK(BM_FirstCalculation20000Rows)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// A continuation from a rent voucher of the previous year that lists 50 of
// the party's 60 items, over 20,000 movement rows in the two years.
void BM_Continuation20000Rows(benchmark::State& state) {
  rnt::bench::CompanySize size{60, 10000, 11};
  size.voucher_items = 50;
  RunGeneratedParty(state, size);
}
BENCHMARK(BM_Continuation20000Rows)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Month end: 200 parties of 1,000 movement rows each (500 a year over 10
// items), billed one after the other by `rnt0417 run --all-parties`.
void BM_MonthEndBatch200Parties(benchmark::State& state) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("rnt0417-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  rnt::bench::CompanySize size{10, 500, 5};
  size.parties = 200;
  rnt::bench::GeneratedCompany company = rnt::bench::GenerateCompany(folder, size);
  rnt::bench::ProgramCost cost;
  for (auto _ : state) {
    cost = rnt::bench::RunRnt0417({"run", "--company", company.current_year.string(),
                                   "--previous-year", company.previous_year.string(),
                                   "--all-parties", "--rent-date", company.rent_date, "--user",
                                   "bench", "--settle-ms", "0", "--format", "csv", "--output-dir",
                                   (folder / "statements").string()});
  }
  state.counters["parties"] = 200;
  state.counters["parties_per_s"] = 200 / cost.seconds;
  state.counters["peak_memory_MiB"] = static_cast<double>(cost.peak_kib) / 1024.0;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MonthEndBatch200Parties)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The first calculation of 20,000 rows with the company on the server.
void BM_FirstCalculation20000RowsOnServer(benchmark::State& state) {
  std::string login = rnt::bench::ServerLoginLine();
  if (login.empty()) {
    state.SkipWithError("no server: start one with scripts/pg_cluster.sh and set RNT_PG_ENV");
    return;
  }
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("rnt0417-bench-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  rnt::bench::GeneratedCompany company = rnt::bench::GenerateCompany(folder, {50, 10000, 7});
  std::string server_txt = (folder / "Server.Txt").string();
  std::ofstream(server_txt) << login << "\r\n";
  std::string code = "b" + std::to_string(getpid());
  RunProgram({"copy-company", "--company", company.current_year.string(), "--previous-year",
              company.previous_year.string(), "--server", code, "--server-txt", server_txt});
  long peak_kib = 0;
  for (auto _ : state) {
    peak_kib = RunProgram({"run", "--server", code, "--year-start", "01-04-2021", "--party",
                           company.party, "--rent-date", company.rent_date, "--user", "bench",
                           "--settle-ms", "0", "--format", "csv", "--server-txt", server_txt});
  }
  state.counters["movement_rows"] = 20000;
  state.counters["peak_memory_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FirstCalculation20000RowsOnServer)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
