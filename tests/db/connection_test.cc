#include "db/connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "db/connection_text.h"
#include "db/recordset.h"
#include "rnt/error.h"
#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyFile;
using rnt::testing::JetConnectionText;
using rnt::testing::TempFolder;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

TEST(ConnectionText, ReadsSettingsWhateverTheirCaseAndBlanksAndNeedsAKnownProvider) {
  ConnectionText text = ConnectionText::Parse(
      "Provider = SQLOLEDB.1;Data Source=db.example;Initial Catalog= 0001_db12021;User "
      "ID=sa;Password=x;");
  EXPECT_EQ(text.provider(), Provider::kSqlServer);
  EXPECT_EQ(text.Get("initial catalog"), "0001_db12021");
  EXPECT_EQ(text.Get("Timeout"), std::nullopt);
  EXPECT_THAT([] { ConnectionText::Parse("Data Source=x.db"); },
              ThrowsMessage<Error>(HasSubstr("no provider")));
  EXPECT_THAT([] { ConnectionText::Parse("Provider=Oracle;Data Source=x"); },
              ThrowsMessage<Error>(HasSubstr("Oracle")));
}

TEST(Connection, FailsNamingWhatIsMissingOrWrong) {
  TempFolder folder;
  Connection connection;
  EXPECT_THAT([&] { connection.Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:x=y;"); },
              ThrowsMessage<Error>(HasSubstr("Data Source")));
  std::string garbage = (folder.path() / "garbage.db").string();
  std::ofstream(garbage) << "these are not the pages of a database, only some text of a user";
  EXPECT_THAT([&] { connection.Open(JetConnectionText(garbage)); },
              ThrowsMessage<Error>(HasSubstr(garbage)));
  EXPECT_THAT([&] { connection.Open("Provider = SQLOLEDB.1;Initial Catalog= c_db12021;"); },
              ThrowsMessage<Error>(HasSubstr("Data Source")));
  EXPECT_THAT(
      [&] { connection.Open("Provider = SQLOLEDB.1;Data Source=srv,99999;Initial Catalog=c;"); },
      ThrowsMessage<Error>(HasSubstr("srv,99999")));
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
}

TEST(Connection, WaitsForAnotherWriterInsteadOfFailing) {
  CompanyFile company;
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(company.path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO at_ILC VALUES (1, 1);", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  std::thread release([other] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  Connection connection;
  connection.Open(company.connection_text());
  EXPECT_NO_THROW(connection.Execute("Insert Into at_ILC (bs1, bs2) values (2, 2)"));
  release.join();
  sqlite3_close(other);
  Recordset rows;
  rows.Open("select count(*) as n from at_ILC", connection);
  EXPECT_EQ(rows.Field("n"), Variant(int32_t{2}));
  connection.Close();
  EXPECT_THAT([&] { connection.Execute("Delete From at_ILC"); },
              ThrowsMessage<Error>(HasSubstr("closed")));
}

}  // namespace
}  // namespace rnt::db
