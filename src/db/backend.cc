#include "db/backend.h"

#include "rnt/error.h"

namespace rnt::db {

void Backend::ExecuteNative(const std::string& sql) {
  throw Error("this database cannot run the statement: " + sql);
}

}  // namespace rnt::db
