// The host's answers from a party's rows read once are the rows the
// database gives for the same query, on generated companies and both
// backends, for every kind of day-total and marked-pieces query.
#include "refhost/year_answers.h"

#include <gtest/gtest.h>

#include "db/recordset.h"
#include "engine/queries.h"
#include "rnt/value_text.h"
#include "scenarios/history.h"

namespace rnt::testing {
namespace {

namespace queries = engine::queries;

std::vector<std::vector<Variant>> Rows(HostRecordset& rows,
                                       const std::vector<std::string>& columns) {
  std::vector<std::vector<Variant>> all;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::vector<Variant> row;
    for (const std::string& column : columns) row.push_back(rows.Field(column));
    all.push_back(std::move(row));
  }
  return all;
}

// Every query the answers serve, for one item, day and the challans of the
// day (and one that is not there).
std::vector<std::string> QueriesOf(const History& history, int32_t item, Date day) {
  const std::string party = std::to_string(History::kParty), code = std::to_string(item);
  const std::string short_day = ShortDateText(day);
  const std::string sql_day = FormatDate(day, "DD-MMM-YYYY");
  std::vector<std::string> challans = {"NONE"};
  std::vector<int32_t> references = {4999};
  for (const HistoryEntry& entry : history.entries) {
    if (entry.day == day && entry.item == item) {
      challans.push_back(entry.challan);
      references.push_back(entry.reference);
    }
  }
  std::vector<std::string> sqls = {queries::LostItems(code, party, sql_day),
                                   queries::DamagedItems(code, party, sql_day)};
  for (auto openings : {queries::OpeningEntries::kCounted, queries::OpeningEntries::kLeftOut}) {
    sqls.push_back(queries::DayTotalsByDate(short_day, party, code, openings));
    for (const std::string& challan : challans) {
      sqls.push_back(queries::ChallanTotals(challan, short_day, party, code, openings));
      sqls.push_back(queries::LookAheadTotals(challan, short_day, party, code, openings));
    }
  }
  for (int32_t reference : references) {
    sqls.push_back(queries::DayTotalsByReference(std::to_string(reference), sql_day, party, code));
  }
  return sqls;
}

class YearAnswersTest : public ::testing::TestWithParam<Storage> {};

TEST_P(YearAnswersTest, AnswerEveryQueryAsTheDatabaseDoes) {
  ServerCopy server;
  if (GetParam() == Storage::kServer && !server.available()) GTEST_SKIP() << "no test server";
  const History history = GenerateHistory(GetParam() == Storage::kFile ? 7 : 19);
  const Scenario company = MakeCompany(CaseOf(history));
  refhost::CompanyFiles files{company.current->path(), company.previous->path()};
  if (GetParam() == Storage::kServer) files = server.Company(files);
  refhost::YearFile year(files.CurrentYear(), refhost::YearFile::Indexes::kLeaveAsIs);

  const std::vector<std::string> marked = {"vchcode", "desc1",       "dsc2", "value1",
                                           "value2",  "MasterCode1", "Cm1"};
  const std::vector<std::string> totals = {"MasterCode1", "MasterCode2", "a1", "a2"};
  refhost::YearAnswers answers;
  int compared = 0;
  for (Date day = history.year_start; day <= history.last_day; day = day.AddDays(1)) {
    for (int32_t item : history.items) {
      for (const std::string& sql : QueriesOf(history, item, day)) {
        std::shared_ptr<HostRecordset> answer = answers.TryAnswer(sql, year.Connection());
        ASSERT_NE(answer, nullptr) << sql;
        db::Recordset database;
        database.Open(sql, year.Connection());
        const auto& columns = sql.find("itemdesc") != std::string::npos ? marked : totals;
        ASSERT_EQ(Rows(*answer, columns), Rows(database, columns)) << sql;
        ++compared;
      }
    }
  }
  // Texts it does not serve are left to the database.
  EXPECT_EQ(answers.TryAnswer("select * from Tran3", year.Connection()), nullptr);
  EXPECT_EQ(answers.TryAnswer(queries::DayTotalsByDate("01-04-2021", "12", "101 or 1=1"),
                              year.Connection()),
            nullptr);
  std::printf("[ answers ] %d queries compared\n", compared);
}

INSTANTIATE_TEST_SUITE_P(Storage, YearAnswersTest,
                         ::testing::Values(Storage::kFile, Storage::kServer), StorageName);

}  // namespace
}  // namespace rnt::testing
