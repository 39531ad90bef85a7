#include "refhost/rent_lines.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "core/text_util.h"
#include "db/query_shape.h"
#include "db/work_table.h"
#include "refhost/company_files.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// The key that keeps rows in the order in which they were inserted. atShut
// has no key of its own. A company file's rows keep their insertion order in
// SQLite's row number, as the add-on only adds and deletes them. On the
// server a run's lines are saved in one transaction, one statement a line:
// the transaction's number orders the runs, the statement's command number
// within it the lines (the places of rows in the table's pages need not
// follow their order when several users add rows at the same time).
std::string WriteOrder(db::Dialect dialect) {
  return dialect == db::Dialect::kSqlite
             ? "rowid"
             : "cast(cast(xmin as text) as bigint), cast(cast(cmin as text) as bigint), ctid";
}

}  // namespace

Variant RentLine::Get(std::string_view column) const {
  for (const auto& [name, value] : columns) {
    if (EqualsIgnoringCase(name, column)) return value;
  }
  throw Error("no column " + std::string(column) + " in a rent line");
}

void ForEachRentLine(db::Connection& connection, std::string_view user_name,
                     const std::function<void(const RentLine&)>& each, LineOrder order) {
  const std::shared_ptr<db::Backend> backend = connection.backend();
  const std::vector<db::ColumnInfo> present = backend->TableColumns("atShut");
  auto in_table = [&present](std::string_view name) {
    return std::any_of(present.begin(), present.end(), [name](const db::ColumnInfo& column) {
      return EqualsIgnoringCase(column.name, name);
    });
  };

  // Where each work-table column stands in the result; nullopt for a column
  // the table lacks.
  std::vector<std::optional<size_t>> place;
  std::string select_list;
  size_t selected = 0;
  for (std::string_view name : db::WorkTableColumns()) {
    if (!in_table(name)) {
      place.emplace_back();
      continue;
    }
    place.emplace_back(selected++);
    if (!select_list.empty()) select_list += ",";
    select_list += "[" + std::string(name) + "]";
  }
  if (select_list.empty()) throw Error("the work table atShut has none of its rent line columns");

  RentLine line;
  for (std::string_view name : db::WorkTableColumns()) {
    line.columns.emplace_back(std::string(name), Variant::Null());
  }
  std::vector<std::string> columns;
  backend->QueryEach(
      db::ShapeQuery("select " + select_list + " from atShut where Uname=" + QuotedText(user_name) +
                     " order by " + (order == LineOrder::kByItem ? "Code1 is null, Code1, " : "") +
                     WriteOrder(backend->dialect())),
      columns, [&](const std::vector<Variant>& row) {
        for (size_t i = 0; i < place.size(); ++i) {
          if (place[i]) line.columns[i].second = row[*place[i]];
        }
        each(line);
      });
}

std::vector<RentLine> ReadRentLines(db::Connection& connection, std::string_view user_name) {
  std::vector<RentLine> lines;
  ForEachRentLine(connection, user_name, [&lines](const RentLine& line) { lines.push_back(line); });
  return lines;
}

std::vector<NegativeBalance> NegativeBalances(db::Connection& connection,
                                              std::string_view user_name) {
  std::vector<NegativeBalance> found;
  std::vector<std::string> columns;
  connection.backend()->QueryEach(
      db::ShapeQuery(
          "select Code1, min(D4) as lowest from atShut where Uname=" + QuotedText(user_name) +
          " and RecType=1 and D4<0 group by Code1 order by Code1"),
      columns, [&found](const std::vector<Variant>& row) {
        if (row[0].IsNumber() && row[1].IsNumber()) {
          found.push_back({row[0].ToText(), row[1].ToDouble()});
        }
      });
  return found;
}

}  // namespace rnt::refhost
