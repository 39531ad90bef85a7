// Costs of the database layer under the load of rent runs: saving rent lines
// one by one, and the day-total queries that every movement day asks.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "db/connection.h"
#include "db/query_shape.h"
#include "db/recordset.h"
#include "db/sqlite_backend.h"
#include "db/work_table.h"
#include "engine/queries.h"
#include "refhost/company_schema.h"
#include "rnt/value_text.h"

namespace {

using rnt::Date;
using rnt::Variant;
using rnt::db::Connection;
using rnt::db::Recordset;

// A company file in a temporary folder of its own, removed afterwards.
class BenchCompany {
 public:
  BenchCompany() {
    folder_ = std::filesystem::temp_directory_path() /
              ("rnt0417-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "company.db").string();
    rnt::db::SqliteBackend::CreateFile(path_);
    connection_.Open(ConnectionText());
    rnt::refhost::CreateHostTables(connection_);
    rnt::refhost::CreateAddonTables(connection_);
    rnt::db::EnsureWorkTable(connection_);
  }
  ~BenchCompany() {
    connection_.Close();
    std::filesystem::remove_all(folder_);
  }
  std::string ConnectionText() const {
    return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + ";";
  }
  Connection& connection() { return connection_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
  Connection connection_;
};

void BM_SaveRentLinesOneByOne(benchmark::State& state) {
  BenchCompany company;
  Recordset lines;
  lines.Open("select * from atShut", company.connection(), rnt::db::CursorType::kKeyset,
             rnt::db::LockType::kOptimistic);
  int32_t serial = 0;
  for (auto _ : state) {
    ++serial;
    lines.AddNew();
    lines.SetField("SrNo", serial);
    lines.SetField("RNo", "C" + std::to_string(serial % 500));
    lines.SetField("Uname", "bench");
    lines.SetField("Code1", int32_t{serial % 50});
    lines.SetField("Price", 2.5);
    lines.SetField("ChallanNo", "C" + std::to_string(serial % 500));
    lines.SetField("ChallanDate", "05-04-2021");
    lines.SetField("D1", 10.0);
    lines.SetField("D2", 0.0);
    lines.SetField("D3", 5.0);
    lines.SetField("D4", 15.0);
    lines.SetField("RecType", int16_t{1});
    lines.SetField("Dte1", "05-04-2021");
    lines.SetField("Dte2", "15-04-2021");
    int32_t days = rnt::DaysBetween(lines.Field("Dte1").ToDate(), lines.Field("Dte2").ToDate());
    lines.SetField("Days", days);
    lines.SetField("Qty", 15.0 * rnt::Val(lines.Field("Days").ToText()));
    lines.SetField("Qty2", lines.Field("Price").ToDouble() * rnt::Val(lines.Field("Qty").ToText()));
    lines.Update();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SaveRentLinesOneByOne)->Iterations(100000)->Unit(benchmark::kMillisecond);

// Tran3 of 200,000 stock entries: 100 parties, 40 items, 50 movement days.
void FillTran3(Connection& connection) {
  connection.Execute("BEGIN");
  Date start = Date::FromYmd(2021, 4, 1);
  int32_t voucher = 0;
  for (int party = 1; party <= 100; ++party) {
    for (int item = 1; item <= 40; ++item) {
      for (int day = 0; day < 50; ++day) {
        bool issue = day % 3 != 2;
        ++voucher;
        std::string date = rnt::FormatDate(start.AddDays(day * 7 % 360), "dd-mmm-yyyy");
        connection.Execute(
            "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, "
            "MasterCode1, MasterCode2, Value1) values (" +
            std::to_string(voucher) + "," + (issue ? "4" : "11") + ",#" + date + "#,'C" +
            std::to_string(voucher) + "'," + std::to_string(voucher) + ",3,0," +
            std::to_string(1000 + item) + "," + std::to_string(party) + "," + (issue ? "-5" : "3") +
            ")");
      }
    }
  }
  connection.Execute("COMMIT");
}

// The movement pass's date query, built as a run builds it.
std::string DayTotalQueryText(Date day, int party, int item) {
  return rnt::engine::queries::DayTotalsByDate(rnt::ShortDateText(day), std::to_string(party),
                                               std::to_string(item));
}

void BM_DayTotalQueries(benchmark::State& state) {
  BenchCompany company;
  FillTran3(company.connection());
  std::mt19937 random(17);
  Date start = Date::FromYmd(2021, 4, 1);
  double sum = 0;
  Recordset totals;
  for (auto _ : state) {
    int party = 1 + static_cast<int>(random() % 100);
    int item = 1001 + static_cast<int>(random() % 40);
    Date day = start.AddDays(static_cast<int32_t>(random() % 50) * 7 % 360);
    std::string sql = DayTotalQueryText(day, party, item);
    if (totals.State() == rnt::db::ObjectState::kOpen) totals.Close();
    totals.Open(sql, company.connection());
    if (!totals.Eof()) {
      Variant a1 = totals.Field("a1");
      Variant a2 = totals.Field("a2");
      sum += (a1.IsNull() ? 0 : a1.ToDouble()) + (a2.IsNull() ? 0 : a2.ToDouble());
    }
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DayTotalQueries)->Iterations(100000)->Unit(benchmark::kMillisecond);

// Taking a day-total query apart into its shape and values, which every query
// pays before the cached statement is found: it must stay small beside the
// query itself.
void BM_ShapeOfDayTotalQuery(benchmark::State& state) {
  std::string sql = DayTotalQueryText(Date::FromYmd(2021, 4, 5), 12, 1001);
  for (auto _ : state) benchmark::DoNotOptimize(rnt::db::ShapeQuery(sql));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ShapeOfDayTotalQuery);

}  // namespace

BENCHMARK_MAIN();
