#include "db/backend.h"

#include "rnt/error.h"

namespace rnt::db {

void Backend::QueryEach(const QueryShape& shape, std::vector<std::string>& columns,
                        const std::function<void(const std::vector<Variant>& row)>& each) {
  ResultRows result = Query(shape);
  columns = std::move(result.columns);
  for (const std::vector<Variant>& row : result.rows) each(row);
}

void Backend::ExecuteNative(const std::string& sql) {
  throw Error("this database cannot run the statement: " + sql);
}

}  // namespace rnt::db
