#pragma once

#include <gmock/gmock.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "rnt/error.h"
#include "rnt/host.h"
#include "support/pg_server.h"
#include "support/temp_folder.h"

// Expects the statement to fail with an rnt::Error whose message holds `text`.
#define EXPECT_ERROR(statement, text) \
  EXPECT_THAT([&] { statement; },     \
              ::testing::ThrowsMessage<::rnt::Error>(::testing::HasSubstr(text)))

namespace rnt::testing {

// The connection text by which the add-on opens a company file.
std::string JetConnectionText(const std::filesystem::path& file);

// A company file in a folder of its own, with the host's and the add-on's
// tables and a connection to it for filling them.
class CompanyFile {
 public:
  CompanyFile();
  const std::filesystem::path& path() const { return path_; }
  std::string connection_text() const { return JetConnectionText(path_); }
  db::Connection& connection() { return connection_; }
  // Runs statements written in the host's dialect on the company file.
  void Execute(std::string_view sql) { connection_.Execute(sql); }

 private:
  TempFolder folder_;
  std::filesystem::path path_;
  db::Connection connection_;
};

// The columns named of each row of a record set, or of a query in the host's
// dialect, as texts joined by '|', a null as "null".
std::vector<std::string> RowTexts(HostRecordset& rows,
                                  const std::vector<std::string_view>& columns);
std::vector<std::string> RowTexts(const db::Connection& connection, std::string_view sql,
                                  const std::vector<std::string_view>& columns);

// A test made once on a new company file and once on a new catalogue of the
// test server (skipped when there is none), as RNT_ON_FILE_AND_SERVER(Suite)
// instantiates it; a SetUp of its own returns early when IsSkipped().
class StoreTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!on_server()) {
      file_ = std::make_unique<CompanyFile>();
    } else if (const std::optional<PgServer> server = TestServer()) {
      catalogue_ = std::make_unique<CompanyCatalogue>(*server);
    } else {
      GTEST_SKIP() << "no database server for the tests";
    }
  }
  bool on_server() const { return GetParam(); }
  // The connection that fills the company, and the text that opens another.
  db::Connection& filling() { return file_ ? file_->connection() : catalogue_->connection(); }
  std::string connection_text() const {
    return file_ ? file_->connection_text() : catalogue_->connection_text();
  }
  void Execute(std::string_view sql) { filling().Execute(sql); }

 private:
  std::unique_ptr<CompanyFile> file_;
  std::unique_ptr<CompanyCatalogue> catalogue_;
};

#define RNT_ON_FILE_AND_SERVER(suite)                                               \
  INSTANTIATE_TEST_SUITE_P(Stores, suite, ::testing::Bool(), [](const auto& info) { \
    return info.param ? "ServerCatalogue" : "CompanyFile";                          \
  })

}  // namespace rnt::testing
