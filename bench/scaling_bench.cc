// How the cost of a rent run grows with a party's history, set beside the
// least that any engine must do over the same rows: one SQL statement that
// works out each item's daily balance and its quantity-days.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "company_generator.h"
#include "db/connection.h"
#include "program_cost.h"

namespace {

double CountOf(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
  double count = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_double(statement, 0) : 0;
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return count;
}

// The least work: every item's daily balance over both years and its
// quantity-days up to the closing date, in one statement per year file.
double LimitSeconds(const rnt::bench::GeneratedCompany& company) {
  static constexpr const char* kLimit =
      "with days as (select MasterCode1 as item, Date as day, -sum(Value1) as net from Tran3 "
      "where MasterCode2 = 12 and RecType = 3 and TranType in (5, 3, 0) and VchType in (4, 11) "
      "group by MasterCode1, Date), "
      "balances as (select item, day, sum(net) over (partition by item order by day) as held, "
      "lead(day) over (partition by item order by day) as next_day from days) "
      "select sum(held * (julianday(coalesce(next_day, '2022-02-28')) - julianday(day))) "
      "from balances";
  auto started = std::chrono::steady_clock::now();
  for (const auto& file : {company.previous_year, company.current_year}) {
    benchmark::DoNotOptimize(CountOf(file, kLimit));
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void Scale(benchmark::State& state, bool continuation) {
  const int rows = static_cast<int>(state.range(0));
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("rnt0417-scale-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  rnt::bench::CompanySize size{50, rows / 2, 3};
  if (continuation) size.voucher_items = 40;
  rnt::bench::GeneratedCompany company = rnt::bench::GenerateCompany(folder, size);
  rnt::bench::ProgramCost cost;
  for (auto _ : state) {
    cost = rnt::bench::RunRnt0417({"run", "--company", company.current_year.string(),
                                   "--previous-year", company.previous_year.string(), "--party",
                                   company.party, "--rent-date", company.rent_date, "--user",
                                   "bench", "--settle-ms", "0", "--format", "csv"});
    state.SetIterationTime(cost.seconds);
  }
  double lines = CountOf(company.current_year, "select count(*) from atShut where Uname='bench'");
  double limit = LimitSeconds(company);
  state.counters["movement_rows"] = rows;
  state.counters["rows_per_s"] = rows / cost.seconds;
  state.counters["lines_per_s"] = lines / cost.seconds;
  state.counters["peak_MiB"] = static_cast<double>(cost.peak_kib) / 1024.0;
  state.counters["limit_s"] = limit;
  state.counters["engine_to_limit"] = cost.seconds / limit;
  std::filesystem::remove_all(folder);
}

// The company copied to the server: the same runs, and the limit as the same
// statement in the server's own dialect over the two catalogues.
void ScaleOnServer(benchmark::State& state, bool continuation) {
  const std::string login = rnt::bench::ServerLoginLine();
  if (login.empty()) {
    state.SkipWithError("no server: start one with scripts/pg_cluster.sh and set RNT_PG_ENV");
    return;
  }
  const int rows = static_cast<int>(state.range(0));
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("rnt0417-scale-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder);
  rnt::bench::CompanySize size{50, rows / 2, 3};
  if (continuation) size.voucher_items = 40;
  rnt::bench::GeneratedCompany company = rnt::bench::GenerateCompany(folder, size);
  const std::string server_txt = (folder / "Server.Txt").string();
  std::ofstream(server_txt) << login << "\r\n";
  const std::string code =
      "s" + std::to_string(getpid()) + "_" + std::to_string(rows) + (continuation ? "c" : "f");
  rnt::bench::RunRnt0417({"copy-company", "--company", company.current_year.string(),
                          "--previous-year", company.previous_year.string(), "--server", code,
                          "--server-txt", server_txt});
  rnt::bench::ProgramCost cost;
  for (auto _ : state) {
    cost =
        rnt::bench::RunRnt0417({"run", "--server", code, "--year-start", "01-04-2021", "--party",
                                company.party, "--rent-date", company.rent_date, "--user", "bench",
                                "--settle-ms", "0", "--format", "csv", "--server-txt", server_txt});
    state.SetIterationTime(cost.seconds);
  }
  // host:port;user;password of the Server.Txt line
  const std::vector<std::string> fields = [&login] {
    std::vector<std::string> parts;
    std::stringstream line(login);
    for (std::string part; std::getline(line, part, ';');) parts.push_back(part);
    return parts;
  }();
  double limit = 0;
  rnt::db::Connection maintenance;
  for (const char* year : {"_db12020", "_db12021"}) {
    rnt::db::Connection catalogue;
    catalogue.Open("Provider=SQLOLEDB;Data Source=" + fields[1] + ";Initial Catalog=" + code +
                   year + ";User ID=" + fields[2] + ";Password=" + fields[3]);
    auto started = std::chrono::steady_clock::now();
    catalogue.backend()->ExecuteNative(
        "with days as (select mastercode1 as item, date as day, -sum(value1) as net from tran3 "
        "where mastercode2 = 12 and rectype = 3 and trantype in (5, 3, 0) and vchtype in (4, 11) "
        "group by mastercode1, date), "
        "balances as (select item, day, sum(net) over (partition by item order by day) as held, "
        "lead(day) over (partition by item order by day) as next_day from days) "
        "select sum(held * (coalesce(next_day, date '2022-02-28') - day)) from balances");
    limit += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  }
  maintenance.Open("Provider=SQLOLEDB;Data Source=" + fields[1] +
                   ";Initial Catalog=postgres;User ID=" + fields[2] + ";Password=" + fields[3]);
  for (const char* year : {"_db12020", "_db12021"}) {
    maintenance.backend()->ExecuteNative("drop database if exists " + code + year);
  }
  state.counters["movement_rows"] = rows;
  state.counters["rows_per_s"] = rows / cost.seconds;
  state.counters["peak_MiB"] = static_cast<double>(cost.peak_kib) / 1024.0;
  state.counters["limit_s"] = limit;
  state.counters["engine_to_limit"] = cost.seconds / limit;
  std::filesystem::remove_all(folder);
}

void BM_FirstCalculationByHistory(benchmark::State& state) { Scale(state, false); }
void BM_ContinuationByHistory(benchmark::State& state) { Scale(state, true); }

BENCHMARK(BM_FirstCalculationByHistory)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ContinuationByHistory)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void BM_FirstCalculationByHistoryOnServer(benchmark::State& state) { ScaleOnServer(state, false); }
void BM_ContinuationByHistoryOnServer(benchmark::State& state) { ScaleOnServer(state, true); }
BENCHMARK(BM_FirstCalculationByHistoryOnServer)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_ContinuationByHistoryOnServer)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
