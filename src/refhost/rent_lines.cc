#include "refhost/rent_lines.h"

#include <algorithm>

#include "core/text_util.h"
#include "db/recordset.h"
#include "db/work_table.h"
#include "refhost/company_files.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// The key that keeps rows in the order in which they were inserted. atShut
// has no key of its own. A company file's rows keep their insertion order in
// SQLite's row number, as the add-on only adds and deletes them; on the
// server each rent line is saved in a transaction of its own, so the number
// of the transaction that wrote a row orders one user's lines.
std::string WriteOrder(db::Dialect dialect) {
  // Rows saved in one transaction (a copied company) keep their place in the
  // table's pages, the order in which they were added.
  return dialect == db::Dialect::kSqlite ? "rowid" : "cast(cast(xmin as text) as bigint), ctid";
}

}  // namespace

Variant RentLine::Get(std::string_view column) const {
  for (const auto& [name, value] : columns) {
    if (EqualsIgnoringCase(name, column)) return value;
  }
  throw Error("no column " + std::string(column) + " in a rent line");
}

std::vector<RentLine> ReadRentLines(db::Connection& connection, std::string_view user_name) {
  const std::vector<db::ColumnInfo> present = connection.backend()->TableColumns("atShut");
  auto in_table = [&present](std::string_view name) {
    return std::any_of(present.begin(), present.end(), [name](const db::ColumnInfo& column) {
      return EqualsIgnoringCase(column.name, name);
    });
  };

  std::string select_list;
  for (std::string_view name : db::WorkTableColumns()) {
    if (!in_table(name)) continue;
    if (!select_list.empty()) select_list += ",";
    select_list += "[" + std::string(name) + "]";
  }
  if (select_list.empty()) throw Error("the work table atShut has none of its rent line columns");

  db::Recordset rows;
  rows.Open("select " + select_list + " from atShut where Uname=" + QuotedText(user_name) +
                " order by " + WriteOrder(connection.backend()->dialect()),
            connection);
  std::vector<RentLine> lines;
  for (; !rows.Eof(); rows.MoveNext()) {
    RentLine& line = lines.emplace_back();
    line.columns.reserve(db::WorkTableColumns().size());
    for (std::string_view name : db::WorkTableColumns()) {
      line.columns.emplace_back(std::string(name),
                                in_table(name) ? rows.Field(name) : Variant::Null());
    }
  }
  return lines;
}

}  // namespace rnt::refhost
