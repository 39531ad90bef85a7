#include "db/recordset.h"

#include <algorithm>
#include <cmath>

#include "db/postgres_backend.h"
#include "db/query_shape.h"
#include "db/row_batch.h"
#include "db/work_table.h"
#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyFile;
using Rows = std::vector<std::vector<Variant>>;

TEST(RecordsetTest, ReadsRowsWithTheColumnsOwnTypesAndNamesWhatItCannotFindOrRun) {
  CompanyFile company;
  company.Execute(
      "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, MasterCode2, Value1) values "
      "(7, 4, '2021-04-05', ' C1 ', NULL, 12, -10.5), (8, 11, '2021-04-09', 'C2', 1, 12, 4)");
  Connection& connection = company.connection();
  Recordset rows;
  rows.Open("select * from Tran3 where MasterCode2=12 Order By Date", connection,
            CursorType::kDynamic, LockType::kBatchOptimistic);
  ASSERT_EQ(rows.RecordCount(), 2);
  EXPECT_EQ(rows.Field("date"), Variant(Date::FromYmd(2021, 4, 5)));  // a date kept as text
  EXPECT_EQ(rows.Field("VCHCODE"), Variant(int32_t{7}));
  EXPECT_EQ(rows.Field("Value1"), Variant(-10.5));
  EXPECT_EQ(rows.Field("No"), Variant(" C1 "));
  EXPECT_TRUE(rows.Field("RefCode").IsNull());
  EXPECT_ERROR(rows.Field("Qty"), "no column Qty");
  rows.MoveNext();
  EXPECT_EQ(rows.Field("Value1"), Variant(4.0));
  rows.MoveNext();
  EXPECT_TRUE(rows.Eof());
  EXPECT_ERROR(rows.Field("Date"), "no current row");
  EXPECT_ERROR(rows.MoveNext(), "past the last row");

  rows.Open("select VchCode from Tran3", connection);
  EXPECT_ERROR(rows.AddNew(), "whole table");
  EXPECT_ERROR(rows.Open("select * from NoSuchTable", connection), "NoSuchTable");
  EXPECT_EQ(rows.State(), ObjectState::kClosed);
  EXPECT_ERROR(rows.Eof(), "closed");
  // A record set closes with its connection.
  rows.Open("select * from Tran3", connection);
  EXPECT_EQ(rows.State(), ObjectState::kOpen);
  connection.Close();
  EXPECT_EQ(rows.State(), ObjectState::kClosed);
  EXPECT_THROW(rows.RecordCount(), Error);
}

// Rows of a company file and of a server catalogue, and lines added to their work table.
class StoredRows : public rnt::testing::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (IsSkipped()) return;
    EnsureWorkTable(filling());
    lines_.Open("select * from atShut", filling(), CursorType::kKeyset, LockType::kOptimistic);
  }

  // Every row of a query as the database gives it.
  Rows Query(std::string_view sql) { return filling().backend()->Query(ShapeQuery(sql)).rows; }
  // The columns named of every saved line.
  Rows Saved(std::string_view columns) {
    return Query("select " + std::string(columns) + " from atShut order by SrNo");
  }

  // Adds lines numbered first..last, each named from `names` in turn.
  void Add(Recordset& lines, int first, int last, const std::vector<std::string>& names = {""}) {
    for (int i = first; i <= last; ++i) {
      lines.AddNew();
      lines.SetField("SrNo", int32_t{i});
      lines.SetField("Uname", names[(i - first) % names.size()]);
      lines.Update();
    }
  }

  Recordset lines_;
};

RNT_ON_FILE_AND_SERVER(StoredRows);

TEST_P(StoredRows, ReadBackWithTheirKindsAndNullsSortLowest) {
  Execute(
      "Insert Into Tran2 (VchCode, SrNo, Date, VchNo, Value1, Value2) values (2000000000, 1, "
      "#30-04-2021#, 'R-1', 2.5, null), (2000000000, 2, #2021-05-01#, 'O''Neil', -0.1, 7)");
  EXPECT_EQ(Query("select VchCode, Date, VchNo, Value1, Value2 from Tran2 order by SrNo"),
            (Rows{{int32_t{2000000000}, Date::FromYmd(2021, 4, 30), "R-1", 2.5, Variant::Null()},
                  {int32_t{2000000000}, Date::FromYmd(2021, 5, 1), "O'Neil", -0.1, 7.0}}));
  // The sum of the codes goes past the 32-bit integers.
  EXPECT_EQ(Query("select count(*) as n, sum(VchCode) as big, sum(Value1) as total from Tran2"),
            (Rows{{int32_t{2}, 4e9, 2.5 + -0.1}}));
  // Null sorts lowest, as on the host's database.
  Execute("Insert Into at_PartyPriceConfig (MasterCode1, Value) values (1, 3), (2, 1), (5, null)");
  EXPECT_EQ(
      rnt::testing::RowTexts(
          filling(), "select top 2 MasterCode1, Value from at_PartyPriceConfig order by Value",
          {"MasterCode1", "Value"}),
      (std::vector<std::string>{"5|null", "2|1"}));
}

TEST_P(StoredRows, ConvertsEachValueAsItsColumnStoresItAndLeavesUnsetWhatItCannotTake) {
  lines_.AddNew();
  lines_.SetField("SrNo", int16_t{3});
  lines_.SetField("qty", "1,234.50");
  lines_.SetField("Qty2", "0.50");
  lines_.SetField("RNo", 2.5);
  lines_.SetField("Dte1", Date::FromYmd(2021, 4, 5));
  lines_.SetField("Uname", "x' or '1'='1");
  EXPECT_EQ(lines_.Field("SrNo"), Variant(3.0));
  EXPECT_EQ(lines_.Field("RNo"), Variant("2.5"));
  EXPECT_ERROR(lines_.SetField("ChallanNo", "a text of sixteen"), "15 characters");
  EXPECT_ERROR(lines_.SetField("Qty2", "12abc"), "12abc");
  EXPECT_ERROR(lines_.SetField("NoSuchColumn", 1.0), "NoSuchColumn");
  lines_.Update();
  EXPECT_EQ(Saved("SrNo, RNo, Qty, Qty2, Dte1, PDate, Uname, ChallanNo"),
            (Rows{{3.0, "2.5", 1234.5, 0.5, "05-04-2021", Variant::Null(), "x' or '1'='1",
                   Variant::Null()}}));
  EXPECT_ERROR(lines_.Update(), "nothing to save");
  // The server refuses too long a text itself rather than cutting it short.
  if (on_server()) {
    EXPECT_ERROR(filling().backend()->Insert("atShut", {{"Dte2", "2021-04-05 12:00"}}), "too long");
  }
}

TEST_P(StoredRows, SavesEachLineOnUpdateWithoutReadingTheTable) {
  filling().backend()->TakeStatementsSent();
  Add(lines_, 1, 2);
  lines_.AddNew();
  EXPECT_EQ(Saved("SrNo").size(), 2u);  // the third waits for its Update
  lines_.Update();
  // On a file, the table's columns once and an insert a line: the lines there are never read.
  if (!on_server()) {
    EXPECT_EQ(filling().backend()->TakeStatementsSent(), 1u + 1u + 3u);
  }
  EXPECT_EQ(lines_.RecordCount(), 3);  // reading them is still possible when asked for
}

// A run's lines are saved together, texts as they are, or none of them when
// one fails half-way.
TEST_P(StoredRows, InBatchModeSavesTheLinesTogetherOrDropsThem) {
  const std::vector<std::string> names = {"O'Neil", "back\\slash", "tab\there", "",
                                          "say \"hi\", (Ünal)"};
  Recordset batch;
  batch.Open("select * from atShut", filling(), CursorType::kKeyset, LockType::kBatchOptimistic);
  Add(batch, 1, 4, names);
  batch.AddNew();
  batch.SetField("SrNo", int32_t{5});
  batch.SetField("Uname", names[4]);
  batch.SetField("Dte1", Date::FromYmd(2021, 4, 5));
  EXPECT_EQ(batch.Field("Dte1"), Variant("05-04-2021"));
  EXPECT_EQ(batch.BatchRows(), 4u);  // the fifth is still being added
  EXPECT_TRUE(Saved("SrNo").empty());
  filling().backend()->TakeStatementsSent();
  batch.UpdateBatch();
  if (!on_server()) {
    EXPECT_EQ(filling().backend()->TakeStatementsSent(), 1u + 5u + 1u);  // BEGIN, inserts, COMMIT
  }
  Rows saved;
  for (int i = 0; i < 5; ++i) saved.push_back({i + 1.0, names[i]});
  EXPECT_EQ(Saved("SrNo, Uname"), saved);
  EXPECT_EQ(Saved("Dte1")[4][0], Variant("05-04-2021"));

  batch.AddNew();
  batch.Update();
  batch.CancelBatch();
  batch.UpdateBatch();
  EXPECT_EQ(Saved("SrNo").size(), 5u);
  EXPECT_ERROR(lines_.UpdateBatch(), "no batch");

  // The server's first message of rows has gone through when one fails.
  static_assert(PostgresBackend::kRowsPerCall < 2200);
  filling().backend()->ExecuteNative(
      on_server() ? "alter table atshut add constraint refused check (srno <> 2200)"
                  : "create trigger refused before insert on atShut when new.SrNo = 2200 "
                    "begin select raise(abort, 'refused'); end");
  Add(batch, 1, 2500);
  EXPECT_THROW(batch.UpdateBatch(), Error);
  EXPECT_EQ(batch.BatchRows(), 0u);
  EXPECT_EQ(Saved("SrNo").size(), 5u);
}

TEST(RowBatch, GivesBackEveryRowAsItWasAdded) {
  const Rows rows = {
      {int16_t{-3}, int32_t{70000}, -0.5, Date::FromYmd(2021, 4, 5), std::string(300, 'x')},
      {Variant::Null(), "", 1e300, Variant::Null(), "O'Neil\t"},
      {-0.0, -2147483647.0, 2147483648.0, 12.0, Variant::Null()},
      {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}};
  RowBatch batch;
  for (const auto& row : rows) batch.Add(row);
  Rows read;
  batch.ForEach([&](const std::vector<Variant>& row) { read.push_back(row); });
  EXPECT_EQ(read, rows);
  EXPECT_TRUE(std::signbit(read[2][0].dbl()));
  EXPECT_ERROR(batch.Add({1.0}), "a row of 1 values");
  EXPECT_EQ(batch.size(), rows.size());
  batch.Clear();
  EXPECT_TRUE(batch.empty());
}

int Succeeded(const std::vector<StatementOutcome>& outcomes) {
  return std::count_if(outcomes.begin(), outcomes.end(), [](auto& o) { return o.succeeded; });
}

// "name:kind:length" of each column, the name in lower case as the server keeps it.
std::vector<std::string> ColumnsOf(Connection& connection, std::string_view table = "atShut") {
  std::vector<std::string> names;
  for (const ColumnInfo& column : connection.backend()->TableColumns(table)) {
    std::string name = column.name;
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    names.push_back(name + ":" + std::to_string(static_cast<int>(column.kind)) + ":" +
                    std::to_string(column.max_length));
  }
  return names;
}

const std::vector<std::string> kAllColumns = {
    "srno:0:0", "rno:2:40",    "uname:2:40", "code1:0:0", "days:0:0",       "qty:0:0",
    "qty2:0:0", "price:0:0",   "pdate:2:40", "d1:0:0",    "d2:0:0",         "d3:0:0",
    "d4:0:0",   "rectype:0:0", "dte1:2:15",  "dte2:2:15", "challanno:2:15", "challandate:2:15"};

using WorkTable = rnt::testing::StoreTest;
RNT_ON_FILE_AND_SERVER(WorkTable);

TEST_P(WorkTable, IsMadeWithAllItsColumnsInOrderAndThenLeftAsItIs) {
  EXPECT_EQ(Succeeded(EnsureWorkTable(filling())), 10);
  EXPECT_EQ(ColumnsOf(filling()), kAllColumns);
  Execute("Insert Into atShut (SrNo, Uname, D1) values (1, 'B', 2)");
  EXPECT_EQ(Succeeded(EnsureWorkTable(filling())), 0);
  EXPECT_EQ(ColumnsOf(filling(), "ATSHUT"), kAllColumns);
  EXPECT_EQ(rnt::testing::RowTexts(filling(), "select SrNo, Uname, D1 from atShut",
                                   {"SrNo", "Uname", "D1"}),
            std::vector<std::string>{"1|B|2"});
  EXPECT_ERROR(ColumnsOf(filling(), "NoSuchTable"), "no table NoSuchTable");
}

// An older table of the first nine columns, read once before it gains the others.
TEST_P(WorkTable, GainsExactlyTheMissingColumnsOnAnOlderTable) {
  Execute(WorkTableStatements()[0]);
  Execute("Insert Into atShut (SrNo, Uname) values (1, 'B')");
  Recordset lines;
  lines.Open("select * from atShut", filling());
  auto outcomes = EnsureWorkTable(filling());
  EXPECT_NE(outcomes[0].error, "");
  EXPECT_EQ(Succeeded(outcomes), 9);
  EXPECT_EQ(ColumnsOf(filling()), kAllColumns);
  EXPECT_EQ(lines.RecordCount(), 1);
}

// A company file may declare any length: one that no int holds sets no limit
// instead of a wrong one.
TEST(WorkTableOnFile, ReadsTheDeclaredLengthsOfTextColumns) {
  rnt::testing::CompanyFile company;
  company.Execute(
      "Create Table atShut ([RNo] varchar(4294967336), [Uname] varchar(40), [PDate] text)");
  EXPECT_EQ(ColumnsOf(company.connection()),
            (std::vector<std::string>{"rno:2:0", "uname:2:40", "pdate:2:0"}));
}

}  // namespace
}  // namespace rnt::db
