// Any text as a query of the host's dialect: shaping it and translating the
// shape into both backends' SQL either works or refuses it with rnt::Error.
#include "db/query_shape.h"
#include "fuzz_check.h"

using rnt::fuzz::Require;
using rnt::fuzz::Tried;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rnt::db::QueryShape shape;
  if (!Tried([&] { shape = rnt::db::ShapeQuery(rnt::fuzz::TextOf(data, size)); })) return 0;
  Require(shape.key.find("  ") == std::string::npos ||
              shape.key.find_first_of("'[\"") != std::string::npos,
          "a key separates its tokens by single blanks");
  for (rnt::db::Dialect dialect : {rnt::db::Dialect::kSqlite, rnt::db::Dialect::kPostgres}) {
    std::string sql;
    if (Tried([&] { sql = rnt::db::TranslateShape(shape, dialect); })) {
      Require(sql == rnt::db::TranslateShape(shape, dialect), "one shape, one translation");
    }
  }
  return 0;
}
