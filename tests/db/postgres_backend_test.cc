// A company catalogue on the database server gives the add-on what a company
// file gives it: the same values, the same work table, the same refusals.
#include "db/postgres_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "db/recordset.h"
#include "db/work_table.h"
#include "rnt/error.h"
#include "support/company_file.h"
#include "support/pg_server.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyCatalogue;
using rnt::testing::CompanyFile;
using rnt::testing::PgServer;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

std::vector<std::vector<Variant>> Rows(Connection& connection, std::string_view sql) {
  return connection.backend()->Query(ShapeQuery(sql)).rows;
}

class PostgresBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<PgServer> server = rnt::testing::TestServer();
    if (!server) GTEST_SKIP() << "no database server for the tests";
    server_ = *server;
    catalogue_ = std::make_unique<CompanyCatalogue>(server_);
  }

  Connection& connection() { return catalogue_->connection(); }

  PgServer server_;
  std::unique_ptr<CompanyCatalogue> catalogue_;
};

TEST_F(PostgresBackendTest, ReadsTheSameValuesAsACompanyFile) {
  CompanyFile file;
  const char* kQueries[] = {
      "select * from Tran2 order by SrNo",
      "select count(*) as n, sum(VchCode) as big, sum(Value1) as total from Tran2",
  };
  for (Connection* target : {&file.connection(), &connection()}) {
    target->Execute(
        "Insert Into Tran2 (VchCode, SrNo, Date, VchNo, Value1, Value2) values (2000000000, 1, "
        "#30-04-2021#, 'R-1', 2.5, null), (2000000000, 2, #2021-05-01#, 'O''Neil', -0.1, 7)");
  }
  for (const char* sql : kQueries) {
    EXPECT_EQ(Rows(connection(), sql), Rows(file.connection(), sql)) << sql;
  }
  auto totals = Rows(connection(), kQueries[1]);
  EXPECT_EQ(totals[0][0], Variant(int32_t{2}));
  EXPECT_EQ(totals[0][1], Variant(4e9));  // past the 32-bit integers
}

TEST_F(PostgresBackendTest, MakesTheWorkTableAndCompletesAnOlderOne) {
  auto succeeded = [](const std::vector<StatementOutcome>& outcomes) {
    return std::count_if(outcomes.begin(), outcomes.end(),
                         [](const StatementOutcome& o) { return o.succeeded; });
  };
  EXPECT_EQ(succeeded(EnsureWorkTable(connection())), 10);
  std::vector<ColumnInfo> columns = connection().backend()->TableColumns("atShut");
  ASSERT_EQ(columns.size(), 18u);
  EXPECT_EQ(columns[0].kind, ColumnKind::kFloat);
  EXPECT_EQ(columns[1].max_length, 40);
  EXPECT_EQ(columns[17].kind, ColumnKind::kText);
  EXPECT_EQ(columns[17].max_length, 15);

  // A table of the first nine columns, read once before it gains the others.
  connection().Execute("Drop Table atShut");
  connection().Execute(WorkTableStatements()[0]);
  Recordset lines;
  lines.Open("select * from atShut", connection());
  EXPECT_EQ(succeeded(EnsureWorkTable(connection())), 9);
  EXPECT_EQ(succeeded(EnsureWorkTable(connection())), 0);
  EXPECT_EQ(connection().backend()->TableColumns("ATSHUT").size(), 18u);
  EXPECT_EQ(lines.RecordCount(), 0);
  EXPECT_THAT([&] { connection().backend()->TableColumns("NoSuchTable"); },
              ThrowsMessage<Error>(HasSubstr("no table NoSuchTable")));
}

TEST_F(PostgresBackendTest, AddsRowsWithTheColumnsOwnConversions) {
  EnsureWorkTable(connection());
  Recordset lines;
  lines.Open("select * from atShut", connection());
  lines.AddNew();
  lines.SetField("Price", Variant("1,234.50"));
  lines.SetField("Dte1", Variant(Date::FromYmd(2021, 4, 5)));
  lines.SetField("Uname", Variant("x' or '1'='1"));
  EXPECT_THAT([&] { lines.SetField("ChallanNo", Variant("sixteen chars...")); },
              ThrowsMessage<Error>(HasSubstr("15 characters")));
  lines.Update();
  EXPECT_EQ(Rows(connection(), "select Price, Dte1, Uname, ChallanNo from atShut"),
            (std::vector<std::vector<Variant>>{{Variant(1234.5), Variant("05-04-2021"),
                                                Variant("x' or '1'='1"), Variant::Null()}}));
  // The server refuses too long a text itself rather than cutting it short.
  EXPECT_THAT(
      [&] {
        connection().backend()->Insert("atShut", {{"Dte2", Variant("2021-04-05 12:00")}});
      },
      ThrowsMessage<Error>(HasSubstr("too long")));
}

// The lines of a run are saved together: as the file saves them, texts as
// they are, or none of them when one fails half-way.
TEST_F(PostgresBackendTest, SavesABatchWholeOrNotAtAllAsACompanyFileDoes) {
  CompanyFile file;
  const std::vector<std::string> names = {"O'Neil", "back\\slash", "tab\there", "",
                                          "say \"hi\", (Ünal)"};
  for (Connection* target : {&file.connection(), &connection()}) {
    EnsureWorkTable(*target);
    Recordset lines;
    lines.Open("select * from atShut", *target, CursorType::kKeyset, LockType::kBatchOptimistic);
    auto add = [&](int count) {
      for (int i = 1; i <= count; ++i) {
        lines.AddNew();
        lines.SetField("SrNo", int32_t{i});
        lines.SetField("Uname", names[(i - 1) % names.size()]);
        lines.Update();
      }
    };
    add(5);
    lines.UpdateBatch();
    std::vector<std::vector<Variant>> saved;
    for (int i = 0; i < 5; ++i) saved.push_back({Variant(i + 1.0), Variant(names[i])});
    EXPECT_EQ(Rows(*target, "select SrNo, Uname from atShut order by SrNo"), saved);

    // The server's first message of rows has gone through when one fails.
    static_assert(PostgresBackend::kRowsPerCall < 2200);
    target->backend()->ExecuteNative(
        target == &connection()
            ? "alter table atshut add constraint refused check (srno <> 2200)"
            : "create trigger refused before insert on atShut when new.SrNo = 2200 "
              "begin select raise(abort, 'refused'); end");
    add(2500);
    EXPECT_THROW(lines.UpdateBatch(), Error);
    EXPECT_EQ(lines.BatchRows(), 0u);
    EXPECT_EQ(Rows(*target, "select SrNo from atShut").size(), 5u);
  }
}

TEST_F(PostgresBackendTest, TopKeepsTiesAndQuotedValuesStayValues) {
  connection().Execute(
      "Insert Into at_PartyPriceConfig (MasterCode1, Value) values (1, 3), (2, 1), (3, 2), (4, "
      "2), (5, null)");
  EXPECT_EQ(Rows(connection(),
                 "select top 3 MasterCode1 from at_PartyPriceConfig order by Value, MasterCode1")
                .size(),
            3u);
  auto tied =
      Rows(connection(), "select top 3 MasterCode1 from at_PartyPriceConfig order by Value");
  ASSERT_EQ(tied.size(), 4u);
  EXPECT_EQ(tied[0][0], Variant(int32_t{5}));  // null sorts lowest, as on the host's database
  connection().Execute("Insert Into Master1 (Code, Name) values (1, 'O''Brien')");
  EXPECT_EQ(Rows(connection(), "select Code from Master1 where Name='O''Brien'").size(), 1u);
  EXPECT_TRUE(Rows(connection(), "select Code from Master1 where Name='x'' or ''1''=''1'").empty());
}

// A port of this machine that takes connections and never answers them.
class SilentPort {
 public:
  SilentPort() : socket_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(socket_, reinterpret_cast<sockaddr*>(&address), size);
    listen(socket_, 4);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~SilentPort() { close(socket_); }
  int port() const { return port_; }

 private:
  int socket_;
  int port_ = 0;
};

TEST_F(PostgresBackendTest, FailuresToConnectNameTheCatalogueTheServerAndTheReason) {
  auto open = [&](int port, const std::string& catalogue, const std::string& password) {
    PostgresBackend backend(server_.host, port, catalogue, server_.user, password);
  };
  const std::string& name = catalogue_->name();
  EXPECT_THAT([&] { open(server_.port, name, "wrong"); },
              ThrowsMessage<Error>(AllOf(HasSubstr(name), HasSubstr("password"))));
  EXPECT_THAT([&] { open(server_.port, "9999_db12099", server_.password); },
              ThrowsMessage<Error>(HasSubstr("\"9999_db12099\" does not exist")));
  // "host,port" reaches the server too; a password given with Open overrides the text's.
  const std::string text = "Provider=SQLOLEDB.1;Data Source=" + server_.host + "," +
                           std::to_string(server_.port) + ";Initial Catalog=" + name +
                           ";User ID=" + server_.user + ";Password=" + server_.password;
  Connection other;
  EXPECT_NO_THROW(other.Open(text));
  EXPECT_THAT([&] { other.Open(text, server_.user, "wrong"); },
              ThrowsMessage<Error>(HasSubstr("password authentication failed")));
  // No server on the port, and a server that does not answer in time.
  auto started = std::chrono::steady_clock::now();
  SilentPort silent;
  const int closed = SilentPort().port();
  EXPECT_THAT([&] { open(closed, name, server_.password); },
              ThrowsMessage<Error>(AllOf(HasSubstr(std::to_string(closed)), HasSubstr("refused"))));
  EXPECT_THAT([&] { open(silent.port(), name, server_.password); },
              ThrowsMessage<Error>(HasSubstr("timeout")));
  EXPECT_LT(std::chrono::steady_clock::now() - started,
            std::chrono::seconds(PostgresBackend::kConnectTimeoutSeconds + 3));
}

TEST_F(PostgresBackendTest, ALostConnectionFailsTheCallThatMeetsIt) {
  connection().Execute("Insert Into at_ILC (bs1) values (1)");
  rnt::testing::DropCatalogue(server_, catalogue_->name());
  EXPECT_THAT([&] { connection().Execute("Insert Into at_ILC (bs1) values (2)"); },
              ThrowsMessage<Error>(HasSubstr(catalogue_->name())));
}

}  // namespace
}  // namespace rnt::db
