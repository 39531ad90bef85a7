#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/recording_windowing.h"
#include "refhost/company_files.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"
#include "rnt/run_report.h"
#include "support/company_file.h"

namespace rnt::testing {

// A company's year file filled the way the host records its vouchers: issues
// stored negative and returns positive in Tran3, lost and damaged pieces
// marked on voucher lines, rent vouchers with the items they carry forward.
class CompanyYear {
 public:
  explicit CompanyYear(Date year_start);

  const std::filesystem::path& path() const { return file_.path(); }
  CompanyFile& file() { return file_; }

  CompanyYear& Party(int32_t code, const std::string& name,
                     std::optional<int32_t> rate_master = std::nullopt);
  CompanyYear& Item(int32_t code, const std::string& name);
  // Rent rate per unit and day, and the value of one piece (NULL when not given).
  CompanyYear& Rate(int32_t party, int32_t item, std::optional<double> rate,
                    std::optional<double> piece_value = 0.0);
  CompanyYear& Settings(double bs1, double bs2);
  // The day rule of the settings' first row (a row of its own when there is
  // none).
  CompanyYear& DayRule(const std::string& rule);
  // A stock entry of a challan; reference 0 gives the voucher's own code.
  // The host writes a challan's stock rows with RecType 3 and TranType 0, 3
  // or 5; other kinds of row are not movements.
  CompanyYear& Issue(const std::string& day, const std::string& challan, int32_t item,
                     int32_t party, double quantity, int32_t reference = 0, int tran_type = 0,
                     int rec_type = 3);
  CompanyYear& Return(const std::string& day, const std::string& challan, int32_t item,
                      int32_t party, double quantity, int32_t reference = 0, int tran_type = 0,
                      int rec_type = 3);
  // The opening entry of a new year (VchType 9, VchCode -1400) that carries
  // what the party held at the end of the year before.
  CompanyYear& Opening(const std::string& day, int32_t item, int32_t party, double quantity);
  // A line of a voucher marked lost ("Lost") or damaged ("Damage", with the
  // damage in percent); a quantity the host left empty is NULL.
  CompanyYear& Lost(const std::string& day, int32_t item, int32_t party,
                    std::optional<double> quantity, const std::string& marker = "Lost");
  CompanyYear& Damaged(const std::string& day, int32_t item, int32_t party,
                       std::optional<double> quantity, double percent,
                       const std::string& marker = "Damage");

  // An item line of a rent voucher: the quantity carried forward and the
  // challan it came on.
  struct CarriedItem {
    int32_t item;
    std::string carried;  // Desc6, as the host writes it
    std::string challan;
    std::string challan_date;
    int32_t record_type = 7;
  };
  CompanyYear& RentVoucher(int32_t code, const std::string& day, int32_t party,
                           const std::vector<CarriedItem>& items, bool rental = true);

 private:
  int32_t NextVoucher() { return ++last_voucher_; }
  // A stock entry in Tran3: issues (VchType 4) negative, returns (11) positive.
  CompanyYear& StockEntry(int voucher_type, const std::string& day, const std::string& challan,
                          int32_t item, int32_t party, double value, int32_t reference,
                          int tran_type, int rec_type);
  CompanyFile file_;
  int32_t last_voucher_ = 1000;
};

// Two parties' challans over April 2021 (Sharma Builders, 12, and Verma &
// Sons, 13) for `items` items from code 101, with rates for both.
void FillTwoPartyMonth(CompanyYear& company, int items);

// One rent run made the way the host makes it, in this process: the add-on
// activated on the company's files, the parameters file written, Start
// called with a recording window system (no real pause), the user's lines
// read back from the work table.
struct RentRun {
  std::vector<refhost::RentLine> lines;
  RunReport report;
  std::vector<std::string> windowing_events;
};

// Where a test's company is kept for its runs.
enum class Storage { kFile, kServer };

// A test of rnt0417 made once on a company file and once on its copy on the
// test server (skipped when there is none): server_ is set for the latter.
class CompanyOnStorage : public ::testing::TestWithParam<Storage> {
 protected:
  void SetUp() override {
    if (GetParam() == Storage::kFile) return;
    std::optional<PgServer> server = TestServer();
    if (!server) GTEST_SKIP() << "no test database server";
    server_.emplace(*server);
  }

  std::optional<ServerCompany> server_;
};

inline void PrintTo(Storage storage, std::ostream* out) {
  *out << (storage == Storage::kFile ? "file" : "server");
}

// The name of a test's instance on that storage.
inline std::string StorageName(const ::testing::TestParamInfo<Storage>& info) {
  return info.param == Storage::kFile ? "File" : "Server";
}

// A test company copied to the test server the first time it is run there,
// under a company code of its own; its catalogues are dropped afterwards.
class ServerCopy {
 public:
  ServerCopy();
  ~ServerCopy();
  ServerCopy(const ServerCopy&) = delete;
  ServerCopy& operator=(const ServerCopy&) = delete;

  // False when no test server was started.
  bool available() const { return !login_line_.empty(); }
  // The company on the server, copied from its files on first use.
  refhost::CompanyFiles Company(const refhost::CompanyFiles& files);
  const std::string& login_line() const { return login_line_; }

 private:
  std::string login_line_;
  std::string code_;
  std::vector<std::string> catalogues_;
};

// A rent run to make, on the company's files or its copy on the server;
// what is left out takes its default.
struct RentRunRequest {
  const CompanyYear* current = nullptr;
  const CompanyYear* previous = nullptr;
  std::string party = "";
  std::string rent_date = "";    // dd-mm-yyyy
  std::string search_date = "";  // default: the rent date
  std::string user = "clerk";
  ServerCopy* server = nullptr;  // run on the server instead of the files
  // Called with the add-on's folder after the host wrote the parameters file
  // and before Start: a test's own changes to the files there.
  std::function<void(const std::filesystem::path& addon_folder)> before_start = {};
};

RentRun MakeRentRun(const RentRunRequest& request);

// The request's company: its files, or its copy on the server.
refhost::CompanyFiles CompanyOf(const RentRunRequest& request);

// A user's lines in the work table of the request's company, on the server
// when the request runs there.
std::vector<refhost::RentLine> UserLines(const RentRunRequest& request, const std::string& user);

// A rent line's columns as text, "null" for a null, for comparing whole lines.
std::string Describe(const refhost::RentLine& line);

}  // namespace rnt::testing
