#include "db/connection.h"

#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "db/connection_text.h"
#include "db/postgres_backend.h"
#include "support/company_file.h"

namespace rnt::db {
namespace {

using rnt::testing::CompanyCatalogue;
using rnt::testing::JetConnectionText;
using rnt::testing::PgServer;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

TEST(Connection, ReadsItsTextWhateverTheCaseAndBlanksAndFailsNamingWhatIsMissingOrWrong) {
  ConnectionText text = ConnectionText::Parse(
      "Provider = SQLOLEDB.1;Data Source=db.example;Initial Catalog= 0001_db12021;User "
      "ID=sa;Password=x;");
  EXPECT_EQ(text.provider(), Provider::kSqlServer);
  EXPECT_EQ(text.Get("initial catalog"), "0001_db12021");
  EXPECT_EQ(text.Get("Timeout"), std::nullopt);
  EXPECT_ERROR(ConnectionText::Parse("Data Source=x.db"), "no provider");
  EXPECT_ERROR(ConnectionText::Parse("Provider=Oracle;Data Source=x"), "Oracle");
  rnt::testing::TempFolder folder;
  Connection connection;
  EXPECT_ERROR(connection.Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:x=y;"), "Data Source");
  std::string garbage = (folder.path() / "garbage.db").string();
  std::ofstream(garbage) << "these are not the pages of a database, only some text of a user";
  EXPECT_ERROR(connection.Open(JetConnectionText(garbage)), garbage);
  EXPECT_ERROR(connection.Open("Provider = SQLOLEDB.1;Initial Catalog= c_db12021;"), "Data Source");
  EXPECT_ERROR(connection.Open("Provider = SQLOLEDB.1;Data Source=srv,99999;Initial Catalog=c;"),
               "srv,99999");
  EXPECT_EQ(connection.State(), ObjectState::kClosed);
}

TEST(Connection, WaitsForAnotherWriterInsteadOfFailing) {
  rnt::testing::CompanyFile company;
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(company.path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO at_ILC (bs1, bs2) VALUES (1, 1);",
                         nullptr, nullptr, nullptr),
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
  EXPECT_EQ(rnt::testing::RowTexts(connection, "select count(*) as n from at_ILC", {"n"}),
            std::vector<std::string>{"2"});
  connection.Close();
  EXPECT_ERROR(connection.Execute("Delete From at_ILC"), "closed");
}

// A company catalogue on the database server, opened and lost as a company file is.
class ServerCatalogueConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_) GTEST_SKIP() << "no database server for the tests";
    catalogue_.emplace(*server_);
  }

  const std::optional<PgServer> server_ = rnt::testing::TestServer();
  std::optional<CompanyCatalogue> catalogue_;
};

// A port of this machine that takes connections and never answers them.
class SilentPort {
 public:
  SilentPort() {
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
  const int socket_ = socket(AF_INET, SOCK_STREAM, 0);
  int port_ = 0;
};

TEST_F(ServerCatalogueConnection,
       FailuresToConnectOrOfALostConnectionNameTheCatalogueAndTheReason) {
  const PgServer& server = *server_;
  auto open = [&](int port, const std::string& catalogue, const std::string& password) {
    PostgresBackend backend(server.host, port, catalogue, server.user, password);
  };
  const std::string& name = catalogue_->name();
  EXPECT_THAT([&] { open(server.port, name, "wrong"); },
              ThrowsMessage<Error>(AllOf(HasSubstr(name), HasSubstr("password"))));
  EXPECT_ERROR(open(server.port, "9999_db12099", server.password),
               "\"9999_db12099\" does not exist");
  // "host,port" reaches the server too; a password given with Open overrides the text's.
  const std::string text = "Provider=SQLOLEDB.1;Data Source=" + server.host + "," +
                           std::to_string(server.port) + ";Initial Catalog=" + name +
                           ";User ID=" + server.user + ";Password=" + server.password;
  Connection other;
  EXPECT_NO_THROW(other.Open(text));
  EXPECT_ERROR(other.Open(text, server.user, "wrong"), "password authentication failed");
  // No server on the port, and a server that does not answer in time.
  auto started = std::chrono::steady_clock::now();
  SilentPort silent;
  const int closed = SilentPort().port_;
  EXPECT_THAT([&] { open(closed, name, server.password); },
              ThrowsMessage<Error>(AllOf(HasSubstr(std::to_string(closed)), HasSubstr("refused"))));
  EXPECT_ERROR(open(silent.port_, name, server.password), "timeout");
  EXPECT_LT(std::chrono::steady_clock::now() - started,
            std::chrono::seconds(PostgresBackend::kConnectTimeoutSeconds + 3));
  // A connection lost after it opened fails the call that meets it.
  catalogue_->Execute("Insert Into at_ILC (bs1) values (1)");
  rnt::testing::DropCatalogue(server, name);
  EXPECT_ERROR(catalogue_->Execute("Insert Into at_ILC (bs1) values (2)"), name);
}

}  // namespace
}  // namespace rnt::db
