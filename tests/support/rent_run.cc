#include "support/rent_run.h"

#include <unistd.h>

#include <fmt/format.h>

#include <fstream>

#include "core/text_util.h"
#include "db/recordset.h"
#include "db/work_table.h"
#include "host/company_context.h"
#include "host/kora_win.h"
#include "refhost/components.h"
#include "refhost/host_application.h"
#include "refhost/parameters_file.h"
#include "refhost/server_copy.h"
#include "rnt/value_text.h"
#include "support/pg_server.h"

namespace rnt::testing {
namespace {

std::string Iso(const std::string& day) {
  Date date = *ParseDateText(day);
  return fmt::format("'{:04}-{:02}-{:02}'", date.year(), date.month(), date.day());
}

std::string Quoted(const std::string& text) { return "'" + DoubleQuotes(text) + "'"; }

// A number as it goes into a statement, NULL for none.
std::string NumberOrNull(std::optional<double> number) {
  return number ? NumberText(*number) : "NULL";
}

// A voucher line marked lost or damaged (with its damage in percent).
void MarkedLine(CompanyFile& file, int32_t voucher, const std::string& day, int32_t item,
                int32_t party, std::optional<double> quantity, const std::string& marker,
                const std::string& percent) {
  file.Execute(fmt::format(
      "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, MasterCode1, Cm1, Value1) "
      "values ({}, 1, 1, 11, {}, {}, {}, {})",
      voucher, Iso(day), item, party, NumberOrNull(quantity)));
  file.Execute(
      fmt::format("Insert Into ItemDesc (VchCode, SrNo, Desc1, Desc2) values ({}, 1, {}, {})",
                  voucher, Quoted(marker), percent));
}

// A row of Tran3, the stock entries of challans and opening balances.
constexpr char kStockEntry[] =
    "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, MasterCode1, "
    "MasterCode2, Value1) values ({}, {}, {}, {}, {}, {}, {}, {}, {}, {})";

}  // namespace

CompanyYear::CompanyYear(Date year_start) {
  file_.Execute("Insert Into FinancialYear values (" + Iso(ShortDateText(year_start)) + ")");
}

CompanyYear& CompanyYear::Party(int32_t code, const std::string& name,
                                std::optional<int32_t> rate_master) {
  file_.Execute(fmt::format("Insert Into Master1 values ({}, 2, {}, {})", code, Quoted(name),
                            rate_master ? std::to_string(*rate_master) : "NULL"));
  return *this;
}

CompanyYear& CompanyYear::Item(int32_t code, const std::string& name) {
  file_.Execute(fmt::format("Insert Into Master1 values ({}, 6, {}, NULL)", code, Quoted(name)));
  return *this;
}

CompanyYear& CompanyYear::Rate(int32_t party, int32_t item, std::optional<double> rate,
                               std::optional<double> piece_value) {
  file_.Execute(fmt::format("Insert Into at_PartyPriceConfig values ({}, {}, {}, 0, {})", party,
                            item, NumberOrNull(rate), NumberOrNull(piece_value)));
  return *this;
}

CompanyYear& CompanyYear::Settings(double bs1, double bs2) {
  file_.Execute(fmt::format("Insert Into at_ILC (bs1, bs2) values ({}, {})", NumberText(bs1),
                            NumberText(bs2)));
  return *this;
}

CompanyYear& CompanyYear::DayRule(const std::string& rule) {
  file_.Execute("Update at_ILC Set DayRule=" + Quoted(rule));
  file_.Execute("Insert Into at_ILC (DayRule) Select " + Quoted(rule) +
                " Where Not Exists (Select 1 From at_ILC)");
  return *this;
}

CompanyYear& CompanyYear::Issue(const std::string& day, const std::string& challan, int32_t item,
                                int32_t party, double quantity, int32_t reference, int tran_type,
                                int rec_type) {
  return StockEntry(4, day, challan, item, party, -quantity, reference, tran_type, rec_type);
}

CompanyYear& CompanyYear::Return(const std::string& day, const std::string& challan, int32_t item,
                                 int32_t party, double quantity, int32_t reference, int tran_type,
                                 int rec_type) {
  return StockEntry(11, day, challan, item, party, quantity, reference, tran_type, rec_type);
}

CompanyYear& CompanyYear::Opening(const std::string& day, int32_t item, int32_t party,
                                  double quantity) {
  file_.Execute(fmt::format(kStockEntry, -1400, 9, Iso(day), "'OPENING'", -1400, 3, 0, item, party,
                            NumberText(-quantity)));
  return *this;
}

CompanyYear& CompanyYear::StockEntry(int voucher_type, const std::string& day,
                                     const std::string& challan, int32_t item, int32_t party,
                                     double value, int32_t reference, int tran_type, int rec_type) {
  int32_t voucher = NextVoucher();
  file_.Execute(fmt::format(kStockEntry, voucher, voucher_type, Iso(day), Quoted(challan),
                            reference ? reference : voucher, rec_type, tran_type, item, party,
                            NumberText(value)));
  return *this;
}

CompanyYear& CompanyYear::Lost(const std::string& day, int32_t item, int32_t party,
                               std::optional<double> quantity, const std::string& marker) {
  MarkedLine(file_, NextVoucher(), day, item, party, quantity, marker, "NULL");
  return *this;
}

CompanyYear& CompanyYear::Damaged(const std::string& day, int32_t item, int32_t party,
                                  std::optional<double> quantity, double percent,
                                  const std::string& marker) {
  MarkedLine(file_, NextVoucher(), day, item, party, quantity, marker, Quoted(NumberText(percent)));
  return *this;
}

CompanyYear& CompanyYear::RentVoucher(int32_t code, const std::string& day, int32_t party,
                                      const std::vector<CarriedItem>& items, bool rental) {
  file_.Execute(
      fmt::format("Insert Into Tran1 values ({}, 9, {}, 'R{}', {})", code, Iso(day), code, party));
  if (rental)
    file_.Execute(fmt::format("Insert Into VchOtherInfo values ({}, 'Rent', 'Rental')", code));
  int32_t line = 0;
  for (const CarriedItem& item : items) {
    ++line;
    file_.Execute(fmt::format(
        "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, VchNo, MasterCode1, Cm1, "
        "Value1) values ({}, {}, {}, 9, {}, 'R{}', {}, {}, {})",
        code, line, item.record_type, Iso(day), code, item.item, party,
        NumberText(Val(item.carried))));
    file_.Execute(fmt::format(
        "Insert Into ItemDesc (VchCode, SrNo, Desc6, Desc11, Desc12) values ({}, {}, {}, {}, {})",
        code, line, Quoted(item.carried), Quoted(item.challan), Quoted(item.challan_date)));
  }
  return *this;
}

void FillTwoPartyMonth(CompanyYear& company, int items) {
  company.Party(12, "Sharma Builders").Party(13, "Verma & Sons");
  for (int item = 0; item < items; ++item) {
    int32_t code = 101 + item;
    company.Item(code, "Item " + std::to_string(item)).Rate(12, code, 1.5).Rate(13, code, 2);
    for (int day = 1; day <= 28; day += 3) {
      std::string date = (day < 10 ? "0" : "") + std::to_string(day) + "-04-2021";
      company.Issue(date, "C" + std::to_string(item * 100 + day), code, 12 + day % 2, 5 + item);
      if (day > 10) {
        company.Return(date, "R" + std::to_string(item * 100 + day), code, 12 + day % 2, 2);
      }
    }
  }
}

ServerCopy::ServerCopy() {
  if (std::optional<PgServer> server = TestServer()) {
    login_line_ = "x;" + server->host + ":" + std::to_string(server->port) + ";" + server->user +
                  ";" + server->password;
  }
  static int copies = 0;
  code_ = "t" + std::to_string(getpid()) + "c" + std::to_string(++copies);
}

ServerCopy::~ServerCopy() {
  std::optional<PgServer> server = TestServer();
  if (!server) return;
  for (const std::string& catalogue : catalogues_) {
    try {
      DropCatalogue(*server, catalogue);
    } catch (const std::exception&) {
      // a catalogue left behind goes with the test cluster
    }
  }
}

refhost::CompanyFiles ServerCopy::Company(const refhost::CompanyFiles& files) {
  refhost::ServerLogin login{login_line_};
  if (catalogues_.empty()) catalogues_ = refhost::CopyCompanyToServer(files, login, code_);
  refhost::YearFile current(files.current, refhost::YearFile::Indexes::kLeaveAsIs);
  db::Recordset start;
  start.Open("select StartDate from FinancialYear", current.Connection());
  refhost::CompanyFiles on_server;
  on_server.server = refhost::ServerCompany{login, code_, start.Field("StartDate").ToDate()};
  return on_server;
}

refhost::CompanyFiles CompanyOf(const RentRunRequest& request) {
  refhost::CompanyFiles files;
  files.current = request.current->path();
  if (request.previous) files.previous = request.previous->path();
  return request.server ? request.server->Company(files) : files;
}

RentRun MakeRentRun(const RentRunRequest& request) {
  refhost::CompanyFiles files = CompanyOf(request);
  TempFolder addon_folder;
  if (request.server) {
    std::ofstream(addon_folder.path() / "Server.Txt") << request.server->login_line() << "\r\n";
  }
  refhost::WriteParametersFile(
      addon_folder.path(), request.user, request.rent_date, request.party,
      request.search_date.empty() ? request.rent_date : request.search_date);
  if (request.before_start) request.before_start(addon_folder.path());
  auto windowing = std::make_shared<platform::RecordingWindowing>();
  HostServices services;
  // The run's years, indexed as rnt0417 gives them to a run.
  refhost::CompanyData company(files);
  company.AddIndexes();
  services.components = std::make_shared<refhost::ReferenceComponentFactory>(company);
  services.windowing = windowing;
  services.addon_folder = addon_folder.path();
  host::ThreadCompanyContext().services = services;

  host::KoraWin addon;
  auto host_object = std::make_shared<refhost::ReferenceHostApplication>(request.user, company);
  Collection p_data = refhost::MakeActivationData(files, host_object);
  addon.ActivateDB(p_data);
  addon.Start();

  RentRun run;
  run.report = addon.LastRunReport();
  run.windowing_events = windowing->events();
  run.lines = refhost::ReadRentLines(company.current()->Connection(), request.user);
  host::ThreadCompanyContext().services = HostServices();
  return run;
}

std::vector<refhost::RentLine> UserLines(const RentRunRequest& request, const std::string& user) {
  refhost::YearFile company(CompanyOf(request).CurrentYear(),
                            refhost::YearFile::Indexes::kLeaveAsIs);
  return refhost::ReadRentLines(company.Connection(), user);
}

std::string Describe(const refhost::RentLine& line) {
  std::string text;
  for (const auto& [column, value] : line.columns) {
    if (!text.empty()) text += " ";
    text += column + "=" + (value.IsNull() ? "null" : value.ToText());
  }
  return text;
}

}  // namespace rnt::testing
