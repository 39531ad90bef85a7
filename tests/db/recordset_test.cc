#include "db/recordset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "db/row_batch.h"
#include "db/work_table.h"
#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyFile;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    company_.Execute(
        "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, MasterCode2, Value1) values "
        "(7, 4, '2021-04-05', ' C1 ', NULL, 12, -10.5), (8, 11, '2021-04-09', 'C2', 1, 12, 4)");
    connection_.Open(company_.connection_text());
  }

  CompanyFile company_;
  Connection connection_;
};

TEST_F(RecordsetTest, ReadsRowsWithTheColumnsOwnTypes) {
  Recordset rows;
  rows.Open("select * from Tran3 where MasterCode2=12 Order By Date", connection_,
            CursorType::kDynamic, LockType::kBatchOptimistic);
  ASSERT_EQ(rows.RecordCount(), 2);
  EXPECT_EQ(rows.Field("date"), Variant(Date::FromYmd(2021, 4, 5)));
  EXPECT_EQ(rows.Field("VCHCODE"), Variant(int32_t{7}));
  EXPECT_EQ(rows.Field("Value1"), Variant(-10.5));
  EXPECT_EQ(rows.Field("No"), Variant(" C1 "));
  EXPECT_TRUE(rows.Field("RefCode").IsNull());
  rows.MoveNext();
  EXPECT_EQ(rows.Field("Value1"), Variant(4.0));
  rows.MoveNext();
  EXPECT_TRUE(rows.Eof());
  EXPECT_THAT([&] { rows.Field("Date"); }, ThrowsMessage<Error>(HasSubstr("no current row")));
  EXPECT_THAT([&] { rows.MoveNext(); }, ThrowsMessage<Error>(HasSubstr("past the last row")));
}

TEST_F(RecordsetTest, NamesWhatItCannotFindOrRunAndClosesWithItsConnection) {
  Recordset rows;
  rows.Open("select VchCode from Tran3", connection_);
  EXPECT_THAT([&] { rows.Field("Qty"); }, ThrowsMessage<Error>(HasSubstr("no column Qty")));
  EXPECT_THAT([&] { rows.AddNew(); }, ThrowsMessage<Error>(HasSubstr("whole table")));
  EXPECT_THAT([&] { rows.Open("select * from NoSuchTable", connection_); },
              ThrowsMessage<Error>(HasSubstr("NoSuchTable")));
  EXPECT_EQ(rows.State(), ObjectState::kClosed);
  EXPECT_THAT([&] { rows.Eof(); }, ThrowsMessage<Error>(HasSubstr("closed")));

  rows.Open("select * from Tran3", connection_);
  EXPECT_EQ(rows.State(), ObjectState::kOpen);
  connection_.Close();
  EXPECT_EQ(rows.State(), ObjectState::kClosed);
  EXPECT_THROW(rows.RecordCount(), Error);
}

class WorkTableRows : public RecordsetTest {
 protected:
  void SetUp() override {
    RecordsetTest::SetUp();
    EnsureWorkTable(connection_);
    lines_.Open("select * from atShut", connection_, CursorType::kKeyset, LockType::kOptimistic);
  }

  std::vector<std::vector<Variant>> SavedLines() {
    Recordset saved;
    saved.Open("select SrNo, RNo, Qty, Qty2, Dte1, PDate from atShut order by SrNo", connection_);
    std::vector<std::vector<Variant>> result;
    for (; !saved.Eof(); saved.MoveNext()) {
      result.push_back({saved.Field("SrNo"), saved.Field("RNo"), saved.Field("Qty"),
                        saved.Field("Qty2"), saved.Field("Dte1"), saved.Field("PDate")});
    }
    return result;
  }

  Recordset lines_;
};

TEST_F(WorkTableRows, ConvertsEachValueAsItsColumnStoresItAndLeavesUnsetWhatItCannotTake) {
  lines_.AddNew();
  lines_.SetField("SrNo", int16_t{3});
  lines_.SetField("qty", "1,234.50");
  lines_.SetField("Qty2", "0.50");
  lines_.SetField("RNo", 2.5);
  lines_.SetField("Dte1", Date::FromYmd(2021, 4, 5));
  EXPECT_EQ(lines_.Field("SrNo"), Variant(3.0));
  EXPECT_EQ(lines_.Field("RNo"), Variant("2.5"));
  EXPECT_THAT([&] { lines_.SetField("Dte1", "a text of sixteen"); },
              ThrowsMessage<Error>(HasSubstr("15 characters")));
  EXPECT_THAT([&] { lines_.SetField("Qty2", "12abc"); }, ThrowsMessage<Error>(HasSubstr("12abc")));
  EXPECT_THAT([&] { lines_.SetField("NoSuchColumn", 1.0); },
              ThrowsMessage<Error>(HasSubstr("NoSuchColumn")));
  lines_.Update();
  EXPECT_EQ(SavedLines(), (std::vector<std::vector<Variant>>{
                              {3.0, "2.5", 1234.5, 0.5, "05-04-2021", Variant::Null()}}));
  EXPECT_THAT([&] { lines_.Update(); }, ThrowsMessage<Error>(HasSubstr("nothing to save")));
}

TEST_F(WorkTableRows, SavesEachLineOnUpdateWithoutReadingTheTable) {
  connection_.backend()->TakeStatementsSent();
  for (int i = 1; i <= 3; ++i) {
    lines_.AddNew();
    lines_.SetField("SrNo", int32_t{i});
    if (i < 3) lines_.Update();
  }
  EXPECT_EQ(SavedLines().size(), 2u);  // the third waits for its Update
  lines_.Update();
  // The table's columns once and an insert a line: the lines there are never read.
  EXPECT_EQ(connection_.backend()->TakeStatementsSent(), 1u + 1u + 3u);
  EXPECT_EQ(lines_.RecordCount(), 3);  // reading them is still possible when asked for
}

TEST_F(WorkTableRows, InBatchModeSavesTheLinesTogetherOrDropsThem) {
  Recordset batch;
  batch.Open("select * from atShut", connection_, CursorType::kKeyset, LockType::kBatchOptimistic);
  for (int i = 1; i <= 3; ++i) {
    batch.AddNew();
    batch.SetField("SrNo", int32_t{i});
    batch.SetField("Dte1", Date::FromYmd(2021, 4, i));
    EXPECT_EQ(batch.Field("Dte1"), Variant("0" + std::to_string(i) + "-04-2021"));
    if (i < 3) batch.Update();
  }
  EXPECT_EQ(batch.BatchRows(), 2u);  // the third is still being added
  EXPECT_TRUE(SavedLines().empty());
  connection_.backend()->TakeStatementsSent();
  batch.UpdateBatch();
  EXPECT_EQ(connection_.backend()->TakeStatementsSent(), 1u + 3u + 1u);  // BEGIN, inserts, COMMIT
  ASSERT_EQ(SavedLines().size(), 3u);
  EXPECT_EQ(SavedLines()[2][4], Variant("03-04-2021"));

  batch.AddNew();
  batch.Update();
  batch.CancelBatch();
  batch.UpdateBatch();
  EXPECT_EQ(SavedLines().size(), 3u);
  EXPECT_THAT([&] { lines_.UpdateBatch(); }, ThrowsMessage<Error>(HasSubstr("no batch")));
}

TEST(RowBatch, GivesBackEveryRowAsItWasAdded) {
  const std::vector<std::vector<Variant>> rows = {
      {int16_t{-3}, int32_t{70000}, -0.5, Date::FromYmd(2021, 4, 5), std::string(300, 'x')},
      {Variant::Null(), "", 1e300, Variant::Null(), "O'Neil\t"},
      {-0.0, -2147483647.0, 2147483648.0, 12.0, Variant::Null()},
      {Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null()}};
  RowBatch batch;
  for (const auto& row : rows) batch.Add(row);
  std::vector<std::vector<Variant>> read;
  batch.ForEach([&](const std::vector<Variant>& row) { read.push_back(row); });
  EXPECT_EQ(read, rows);
  EXPECT_TRUE(std::signbit(read[2][0].dbl()));
  EXPECT_THAT([&] { batch.Add({1.0}); }, ThrowsMessage<Error>(HasSubstr("a row of 1 values")));
  EXPECT_EQ(batch.size(), rows.size());
  batch.Clear();
  EXPECT_TRUE(batch.empty());
}

}  // namespace
}  // namespace rnt::db
