#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rnt/variant.h"

namespace rnt::db {

// The SQL dialect of a backend that the host's queries are translated into.
enum class Dialect { kSqlite, kPostgres };

// A query in the host's dialect, taken apart into its shape and its values.
// Every value written into the text (a number, a quoted text, a #date#
// literal) becomes a parameter, so that the many queries of a run that differ
// only in their dates and codes share one shape, one translation and one
// prepared statement. The number of a "top N" stays part of the shape.
struct QueryShape {
  // The query's tokens separated by single blanks, each value replaced by "?".
  // Two queries with the same key translate to the same SQL.
  std::string key;
  // The values in the order in which they stand in the text: whole numbers as
  // 32-bit integers (doubles when they do not fit), other numbers as doubles,
  // quoted texts as text (doubled quotes undone), date literals as dates.
  std::vector<Variant> params;
};

// Takes a query of the host's dialect apart. Throws rnt::Error, naming the
// offending piece, for an empty date literal ("##"), a date literal that is
// not a date, or an unterminated quote, bracket or date literal.
QueryShape ShapeQuery(std::string_view host_sql);

// The backend's SQL for a shape, with numbered parameter markers (?1, ?2, ...
// for SQLite; $1, $2, ... for PostgreSQL) in the order of QueryShape::params:
// "top N" becomes a row limit of its own select (all rows tied with the Nth
// when that select has an Order By, as the host's database returns them),
// bracketed names become the backend's quoted names, LTrim its ltrim. Texts
// inside quotes are never touched: they are parameters. Throws rnt::Error for
// a shape it cannot translate, naming the piece.
std::string TranslateShape(const QueryShape& shape, Dialect dialect);

// Result columns whose names start with this prefix are the translator's own
// helpers (the tie rank of a "top N" with an Order By); record sets hide them.
inline constexpr std::string_view kHelperColumnPrefix = "rnt_helper_";

// The column of the host's tables on the server that numbers their rows in
// the order in which they were recorded, as a company file's rowid does: rows
// of a list that tie on its Order By come out in that order on both. Record
// sets hide it, as a helper.
inline constexpr std::string_view kRecordedOrderColumn = "rnt_helper_recorded";

}  // namespace rnt::db
