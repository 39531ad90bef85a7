#include "engine/rent_line.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/work_table.h"
#include "engine/queries.h"
#include "refhost/rent_lines.h"
#include "support/company_file.h"

namespace rnt::engine {
namespace {

class RentLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetThreadCompanyContext();
    host::CompanyContext& context = host::ThreadCompanyContext();
    context.connection = std::make_unique<db::Connection>();
    context.connection->Open(company_.connection_text());
    db::EnsureWorkTable(*context.connection);
    context.work_table = std::make_unique<db::Recordset>();
    context.work_table->Open(queries::kWorkTable, *context.connection, db::CursorType::kKeyset,
                             db::LockType::kOptimistic);
  }
  void TearDown() override { host::ResetThreadCompanyContext(); }

  host::CompanyContext& context() { return host::ThreadCompanyContext(); }
  std::vector<refhost::RentLine> Saved() {
    return refhost::ReadRentLines(company_.connection(), "anna");
  }

  // A line from 1 April to `end`, at `price`, for a rent quantity of 5.
  void WriteLine(const Variant& end, const Variant& price) {
    RentLine line(context());
    line.Set("Uname", "anna");
    line.Set("Price", price);
    line.Set("Dte1", "01-04-2021");
    line.Set("Dte2", end);
    line.SetDaysFromPeriod();
    line.AddToDays(1);
    line.SetQtyFromDays("5 pieces");
    line.SetAmountFromPriceAndQty();
    line.Save();
  }

  testing::CompanyFile company_;
};

TEST_F(RentLineTest, WorksOutDaysQtyAndAmountFromWhatTheRowStoresOrLeavesThemNull) {
  WriteLine(Date::FromYmd(2021, 4, 11), "2.5");  // stored as text, and as a number
  // A period without an end: an ordinary outcome, not a fault.
  WriteLine(Variant(), 2.0);
  WriteLine("", 2.0);
  // Values the columns refuse: reported, and the line is still saved.
  WriteLine("32-04-2021", "cheap");

  std::vector<refhost::RentLine> saved = Saved();
  ASSERT_EQ(saved.size(), 4u);
  EXPECT_EQ(saved[0].Get("Dte2"), Variant("11-04-2021"));
  EXPECT_EQ(saved[0].Get("Days"), Variant(11.0));
  EXPECT_EQ(saved[0].Get("Qty"), Variant(55.0));
  EXPECT_EQ(saved[0].Get("Qty2"), Variant(137.5));
  for (size_t i = 1; i < saved.size(); ++i) {
    for (const char* column : {"Days", "Qty", "Qty2"}) {
      EXPECT_TRUE(saved[i].Get(column).IsNull()) << column;
    }
  }
  EXPECT_TRUE(saved[3].Get("Price").IsNull());
  const auto& skipped = context().report.skipped;
  ASSERT_EQ(skipped.size(), 2u);
  EXPECT_EQ(skipped[0].step, "set Price of a rent line");
  EXPECT_NE(skipped[0].failure.find("cheap"), std::string::npos);
  EXPECT_NE(skipped[1].failure.find("32-04-2021"), std::string::npos);
}

TEST_F(RentLineTest, AFailedSaveOrAddLosesThatLineOnly) {
  {
    RentLine line(context());
    line.Set("Uname", "anna");
    context().connection->Execute("drop table atShut");
    line.Save();
  }
  db::EnsureWorkTable(*context().connection);
  WriteLine("03-04-2021", 1.0);
  context().work_table->Close();
  WriteLine("03-04-2021", 1.0);

  EXPECT_EQ(Saved().size(), 1u);
  const auto& skipped = context().report.skipped;
  ASSERT_EQ(skipped.size(), 2u);  // a line that was never added sets nothing
  EXPECT_EQ(skipped[0].step, "save a rent line");
  EXPECT_EQ(skipped[1].step, "add a rent line");
  EXPECT_TRUE(skipped[0].kept_from_database && skipped[1].kept_from_database);
}

}  // namespace
}  // namespace rnt::engine
