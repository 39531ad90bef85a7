// How the cost of a rent run grows with a party's history, set beside the
// least that any engine must do over the same rows: one SQL statement that
// works out each item's daily balance and its quantity-days; with the
// statements that the run sent to each database.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
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
  // The median of three, as one reading of a fraction of a second moves with
  // whatever else the machine is doing.
  std::vector<double> seconds;
  for (int reading = 0; reading < 3; ++reading) {
    auto started = std::chrono::steady_clock::now();
    for (const auto& file : {company.previous_year, company.current_year}) {
      benchmark::DoNotOptimize(CountOf(file, kLimit));
    }
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[1];
}

// One party's generated history of `rows` movement rows over two years, in a
// folder of its own that goes with it.
class History {
 public:
  History(int rows, bool continuation)
      : folder_(std::filesystem::temp_directory_path() /
                ("rnt0417-scale-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(folder_);
    rnt::bench::CompanySize size{50, rows / 2, 3};
    if (continuation) size.voucher_items = 40;
    company_ = rnt::bench::GenerateCompany(folder_, size);
  }
  ~History() { std::filesystem::remove_all(folder_); }
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  const rnt::bench::GeneratedCompany& company() const { return company_; }

 private:
  std::filesystem::path folder_;
  rnt::bench::GeneratedCompany company_;
};

// Runs rnt0417 with the arguments, one timed iteration.
rnt::bench::ProgramCost TimedRun(benchmark::State& state, const std::vector<std::string>& run) {
  rnt::bench::ProgramCost cost;
  for (auto _ : state) {
    cost = rnt::bench::RunRnt0417(run);
    state.SetIterationTime(cost.seconds);
  }
  return cost;
}

void Report(benchmark::State& state, int rows, const rnt::bench::ProgramCost& cost, double limit) {
  state.counters["movement_rows"] = rows;
  state.counters["stmts_addon"] = cost.addon_statements;
  state.counters["stmts_host_cy"] = cost.host_current_year_statements;
  state.counters["stmts_host_py"] = cost.host_previous_year_statements;
  state.counters["rows_per_s"] = rows / cost.seconds;
  state.counters["peak_MiB"] = static_cast<double>(cost.peak_kib) / 1024.0;
  state.counters["limit_s"] = limit;
  state.counters["engine_to_limit"] = cost.seconds / limit;
}

void Scale(benchmark::State& state, bool continuation) {
  const int rows = static_cast<int>(state.range(0));
  const History history(rows, continuation);
  const rnt::bench::GeneratedCompany& company = history.company();
  const rnt::bench::ProgramCost cost =
      TimedRun(state, {"run", "--company", company.current_year.string(), "--previous-year",
                       company.previous_year.string(), "--party", company.party, "--rent-date",
                       company.rent_date, "--user", "bench", "--settle-ms", "0", "--format", "csv",
                       "--report"});
  double lines = CountOf(company.current_year, "select count(*) from atShut where Uname='bench'");
  Report(state, rows, cost, LimitSeconds(company));
  state.counters["lines_per_s"] = lines / cost.seconds;
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
  const History history(rows, continuation);
  const rnt::bench::GeneratedCompany& company = history.company();
  const std::string server_txt = (history.folder() / "Server.Txt").string();
  std::ofstream(server_txt) << login << "\r\n";
  const std::string code =
      "s" + std::to_string(getpid()) + "_" + std::to_string(rows) + (continuation ? "c" : "f");
  rnt::bench::RunRnt0417({"copy-company", "--company", company.current_year.string(),
                          "--previous-year", company.previous_year.string(), "--server", code,
                          "--server-txt", server_txt});
  const rnt::bench::ProgramCost cost = TimedRun(
      state, {"run", "--server", code, "--year-start", "01-04-2021", "--party", company.party,
              "--rent-date", company.rent_date, "--user", "bench", "--settle-ms", "0", "--format",
              "csv", "--server-txt", server_txt, "--report"});

  // host:port;user;password of the Server.Txt line
  std::vector<std::string> fields;
  std::stringstream line(login);
  for (std::string field; std::getline(line, field, ';');) fields.push_back(field);
  auto connection_text = [&fields](const std::string& catalogue) {
    return "Provider=SQLOLEDB;Data Source=" + fields[1] + ";Initial Catalog=" + catalogue +
           ";User ID=" + fields[2] + ";Password=" + fields[3];
  };
  double limit = 0;
  for (const char* year : {"_db12020", "_db12021"}) {
    rnt::db::Connection catalogue;
    catalogue.Open(connection_text(code + year));
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
  rnt::db::Connection maintenance;
  maintenance.Open(connection_text("postgres"));
  for (const char* year : {"_db12020", "_db12021"}) {
    maintenance.backend()->ExecuteNative("drop database if exists " + code + year);
  }
  Report(state, rows, cost, limit);
}

// One party's history at 1,000, 10,000 and 100,000 movement rows, one run each.
void ByHistory(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime()->Unit(
      benchmark::kSecond);
}

void BM_FirstCalculationByHistory(benchmark::State& state) { Scale(state, false); }
void BM_ContinuationByHistory(benchmark::State& state) { Scale(state, true); }
void BM_FirstCalculationByHistoryOnServer(benchmark::State& state) { ScaleOnServer(state, false); }
void BM_ContinuationByHistoryOnServer(benchmark::State& state) { ScaleOnServer(state, true); }
BENCHMARK(BM_FirstCalculationByHistory)->Apply(ByHistory);
BENCHMARK(BM_ContinuationByHistory)->Apply(ByHistory);
BENCHMARK(BM_FirstCalculationByHistoryOnServer)->Apply(ByHistory);
BENCHMARK(BM_ContinuationByHistoryOnServer)->Apply(ByHistory);

}  // namespace
