#include "refhost/company_schema.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "db/query_shape.h"
#include "db/recordset.h"
#include "db/work_table.h"

namespace rnt::refhost {
namespace {

enum class Type { kInteger, kReal, kText, kDate };

struct Column {
  std::string_view name;
  Type type;
};

struct Table {
  std::string_view name;
  std::vector<Column> columns;
};

std::string_view TypeName(Type type, db::Dialect dialect) {
  switch (type) {
    case Type::kInteger:
      return "INTEGER";
    case Type::kReal:
      return dialect == db::Dialect::kPostgres ? "DOUBLE PRECISION" : "REAL";
    case Type::kText:
      return "TEXT";
    case Type::kDate:
      return "DATE";
  }
  return "TEXT";
}

// Whether a table's rows are numbered in the order recorded: on the server
// the host's tables are, as a company file's rows are by their rowid.
enum class Recorded { kNumbered, kAsTheyCome };

// The host's tables, whose rows the rent runs list.
constexpr std::string_view kHostTables[] = {"Master1",       "Tran1",      "Tran2",
                                            "Tran3",         "ItemDesc",   "VchOtherInfo",
                                            "FinancialYear", "CompanyInfo"};

void CreateTables(db::Connection& connection, const std::vector<Table>& tables,
                  Recorded recorded = Recorded::kAsTheyCome) {
  db::Dialect dialect = connection.backend()->dialect();
  for (const Table& table : tables) {
    std::string sql = "CREATE TABLE IF NOT EXISTS " + std::string(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += "[" + std::string(table.columns[i].name) + "] ";
      sql += TypeName(table.columns[i].type, dialect);
    }
    if (recorded == Recorded::kNumbered && dialect == db::Dialect::kPostgres) {
      sql += ", " + std::string(db::kRecordedOrderColumn) + " BIGSERIAL";
    }
    connection.Execute(sql + ")");
  }
}

}  // namespace

void CreateHostTables(db::Connection& connection) {
  using enum Type;
  static constexpr std::string_view kDescriptions[] = {"Desc1", "Desc2",  "Desc3",  "Desc4",
                                                       "Desc5", "Desc6",  "Desc7",  "Desc8",
                                                       "Desc9", "Desc10", "Desc11", "Desc12"};
  std::vector<Column> item_desc = {{"VchCode", kInteger}, {"SrNo", kInteger}};
  for (std::string_view name : kDescriptions) item_desc.push_back({name, kText});
  CreateTables(connection,
               {
                   {"FinancialYear", {{"StartDate", kDate}}},
                   {"Master1",
                    {{"Code", kInteger},
                     {"MasterType", kInteger},
                     {"Name", kText},
                     {"RateMaster", kInteger}}},
                   {"Tran1",
                    {{"VchCode", kInteger},
                     {"VchType", kInteger},
                     {"Date", kDate},
                     {"VchNo", kText},
                     {"MasterCode1", kInteger}}},
                   {"Tran2",
                    {{"VchCode", kInteger},
                     {"SrNo", kInteger},
                     {"RecType", kInteger},
                     {"VchType", kInteger},
                     {"Date", kDate},
                     {"VchNo", kText},
                     {"MasterCode1", kInteger},
                     {"Cm1", kInteger},
                     {"Value1", kReal},
                     {"Value2", kReal}}},
                   {"Tran3",
                    {{"VchCode", kInteger},
                     {"VchType", kInteger},
                     {"Date", kDate},
                     {"No", kText},
                     {"RefCode", kInteger},
                     {"RecType", kInteger},
                     {"TranType", kInteger},
                     {"MasterCode1", kInteger},
                     {"MasterCode2", kInteger},
                     {"Value1", kReal}}},
                   {"ItemDesc", item_desc},
                   {"VchOtherInfo", {{"VchCode", kInteger}, {"OF1", kText}, {"OF2", kText}}},
                   {"CompanyInfo", {{"Name", kText}, {"Address", kText}}},
               },
               Recorded::kNumbered);
  CreateHostIndexes(connection);
}

void CreateAddonTables(db::Connection& connection) {
  using enum Type;
  CreateTables(
      connection,
      {
          {"at_ILC",
           {{"bs1", kReal}, {"bs2", kReal}, {"DayRule", kText}, {"AmountGrouping", kText}}},
          {"at_PartyPriceConfig",
           {{"MasterCode1", kInteger},
            {"MasterCode2", kInteger},
            {"Value", kReal},
            {"Value2", kReal},
            {"Value3", kReal}}},
      });
  connection.Execute(
      "CREATE INDEX IF NOT EXISTS ix_rate_party_item ON at_PartyPriceConfig (MasterCode1, "
      "MasterCode2)");
}

void CreateKeptBillTables(db::Connection& connection) {
  using enum Type;
  // The kept lines take the work table's columns with its types: its varchar
  // columns as text, its float columns as real numbers.
  static constexpr std::string_view kTextColumns[] = {"RNo",  "Uname",     "PDate",      "Dte1",
                                                      "Dte2", "ChallanNo", "ChallanDate"};
  std::vector<Column> lines = {{"VchCode", kInteger}, {"LineNo", kInteger}};
  for (std::string_view name : db::WorkTableColumns()) {
    const bool text =
        std::find(std::begin(kTextColumns), std::end(kTextColumns), name) != std::end(kTextColumns);
    lines.push_back({name, text ? kText : kReal});
  }
  lines.push_back({"ItemName", kText});
  CreateTables(
      connection,
      {
          {"RentBills",
           {{"VchCode", kInteger},
            {"PartyCode", kInteger},
            {"Party", kText},
            {"CompanyName", kText},
            {"CompanyAddress", kText},
            {"FirstDay", kDate},
            {"LastDay", kDate},
            {"ContinuedFrom", kInteger},
            {"ContinuedFromDate", kDate},
            {"DayRule", kText},
            {"AmountGrouping", kText},
            {"Total", kReal},
            {"PostedAt", kText}}},
          {"RentBillLines", lines},
          {"RentBillMarks",
           {{"VchCode", kInteger},
            {"SrNo", kInteger},
            {"Item", kInteger},
            {"Lost", kInteger},
            {"Date", kDate},
            {"Challan", kText},
            {"Quantity", kReal},
            {"Percent", kReal},
            {"PieceValue", kReal}}},
          {"RentBillChallans",
           {{"VchCode", kInteger}, {"Item", kInteger}, {"Date", kDate}, {"Challans", kText}}},
      });
  for (std::string_view table :
       {"RentBills", "RentBillLines", "RentBillMarks", "RentBillChallans"}) {
    connection.Execute("CREATE INDEX IF NOT EXISTS ix_" + std::string(table) + "_voucher ON " +
                       std::string(table) + " (VchCode)");
  }
}

void CreateHostIndexes(db::Connection& connection) {
  // Every walk looks a party's stock entries up by party, item and day; the
  // lost and damage lookups by item, party and day; voucher lines by voucher.
  static constexpr std::string_view kIndexes[] = {
      "CREATE INDEX IF NOT EXISTS ix_tran3_party_item_date ON Tran3 (MasterCode2, MasterCode1, "
      "Date)",
      "CREATE INDEX IF NOT EXISTS ix_tran2_item_party_date ON Tran2 (MasterCode1, Cm1, Date)",
      "CREATE INDEX IF NOT EXISTS ix_tran2_voucher ON Tran2 (VchCode, SrNo)",
      "CREATE INDEX IF NOT EXISTS ix_itemdesc_voucher ON ItemDesc (VchCode, SrNo)",
      "CREATE INDEX IF NOT EXISTS ix_tran1_type_party_date ON Tran1 (VchType, MasterCode1, Date)",
      "CREATE INDEX IF NOT EXISTS ix_vchotherinfo_voucher ON VchOtherInfo (VchCode)",
  };
  for (std::string_view sql : kIndexes) connection.Execute(sql);
}

void NumberRecordedRows(db::Connection& connection) {
  if (connection.backend()->dialect() != db::Dialect::kPostgres) return;
  db::Recordset numbered;
  numbered.Open(
      "select table_name as t from information_schema.columns where "
      "table_schema=current_schema() and column_name='" +
          std::string(db::kRecordedOrderColumn) + "'",
      connection);
  std::vector<std::string> done;
  for (; !numbered.Eof(); numbered.MoveNext()) done.push_back(numbered.Field("t").ToText());
  for (std::string_view table : kHostTables) {
    std::string name;
    for (char c : table) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (std::find(done.begin(), done.end(), name) != done.end()) continue;
    connection.Execute("ALTER TABLE " + name + " ADD COLUMN " +
                       std::string(db::kRecordedOrderColumn) + " BIGSERIAL");
  }
}

}  // namespace rnt::refhost
