#include "refhost/server_copy.h"

#include "db/recordset.h"
#include "db/work_table.h"
#include "refhost/company_schema.h"
#include "refhost/company_settings.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// The tables a company's year holds, the host's and the add-on's.
constexpr std::string_view kTables[] = {
    "FinancialYear", "Master1",      "Tran1",         "Tran2",         "Tran3",
    "ItemDesc",      "VchOtherInfo", "CompanyInfo",   "at_ILC",        "at_PartyPriceConfig",
    "atShut",        "RentBills",    "RentBillLines", "RentBillMarks", "RentBillChallans"};

// The maintenance catalogue of the server, where catalogues are made.
constexpr std::string_view kMaintenanceCatalogue = "postgres";

struct YearToCopy {
  std::filesystem::path file;
  std::string catalogue;
};

Date YearStart(db::Connection& file, const std::filesystem::path& path) {
  db::Recordset rows;
  rows.Open("select StartDate from FinancialYear", file);
  if (rows.Eof() || rows.Field("StartDate").IsNull()) {
    throw Error("company file " + path.string() + " has no FinancialYear start date");
  }
  return rows.Field("StartDate").ToDate();
}

bool CatalogueExists(db::Connection& maintenance, const std::string& catalogue) {
  db::Recordset rows;
  rows.Open("select datname from pg_database where datname=" + QuotedText(catalogue), maintenance);
  return !rows.Eof();
}

bool HoldsData(const ServerLogin& login, const std::string& catalogue) {
  db::Connection connection;
  connection.Open(login.ConnectionText(catalogue));
  for (std::string_view table : kTables) {
    db::Recordset rows;
    try {
      rows.Open("select count(*) as n from " + std::string(table), connection);
    } catch (const Error&) {
      continue;  // no such table: nothing in it
    }
    if (rows.Field("n").ToDouble() > 0) return true;
  }
  return false;
}

void CopyTable(db::Connection& from, db::Connection& to, std::string_view table) {
  std::vector<db::ColumnInfo> columns;
  try {
    columns = from.backend()->TableColumns(table);
  } catch (const Error&) {
    return;  // a table the file does not have
  }
  db::Recordset rows;
  // In the order recorded, which the catalogue's rows keep: a list's rows
  // that tie on its keys come out in that order on the server too.
  rows.Open("select * from " + std::string(table) + " order by rowid", from);
  for (; !rows.Eof(); rows.MoveNext()) {
    std::vector<std::pair<std::string, Variant>> values;
    for (const db::ColumnInfo& column : columns) {
      values.emplace_back(column.name, rows.Field(column.name));
    }
    to.backend()->Insert(table, values);
  }
}

}  // namespace

std::vector<std::string> CopyCompanyToServer(const CompanyFiles& files, const ServerLogin& login,
                                             const std::string& company_code) {
  std::vector<YearToCopy> years;
  std::vector<std::filesystem::path> paths = {files.current};
  if (files.previous) paths.push_back(*files.previous);
  for (const std::filesystem::path& path : paths) {
    YearFile file(path, YearFile::Indexes::kLeaveAsIs);
    ServerCompany company{login, company_code, YearStart(file.Connection(), path)};
    years.push_back({path, company.Catalogue(company.year_start.year())});
  }

  // Every catalogue is checked before the first is written.
  db::Connection maintenance;
  maintenance.Open(login.ConnectionText(kMaintenanceCatalogue));
  std::vector<bool> exists;
  for (const YearToCopy& year : years) {
    exists.push_back(CatalogueExists(maintenance, year.catalogue));
    if (exists.back() && HoldsData(login, year.catalogue)) {
      throw Error("catalogue " + year.catalogue + " already holds data; it is not overwritten");
    }
  }

  std::vector<std::string> written;
  for (size_t i = 0; i < years.size(); ++i) {
    const YearToCopy& year = years[i];
    if (!exists[i])
      maintenance.backend()->ExecuteNative("CREATE DATABASE \"" + year.catalogue + "\"");
    YearFile file(year.file, YearFile::Indexes::kLeaveAsIs);
    db::Connection catalogue;
    catalogue.Open(login.ConnectionText(year.catalogue));
    CreateHostTables(catalogue);
    CreateAddonTables(catalogue);
    // An empty catalogue made before the day rule and the amount grouping
    // has an at_ILC without them.
    AddSettingsColumns(catalogue);
    db::EnsureWorkTable(catalogue);
    // The bills posted on the file are printed again from the server.
    CreateKeptBillTables(catalogue);
    catalogue.Execute("BEGIN");
    for (std::string_view table : kTables) CopyTable(file.Connection(), catalogue, table);
    catalogue.Execute("COMMIT");
    // As after any bulk load: the tables' statistics gathered and their rows
    // marked as settled, so that the first run is planned on real counts and
    // does not pay for settling every row it reads.
    catalogue.backend()->ExecuteNative("VACUUM ANALYZE");
    written.push_back(year.catalogue);
  }
  return written;
}

}  // namespace rnt::refhost
