// rnt0417-selfcheck: makes (or opens) a company file, connects to it the way
// the add-on does, makes sure the work table exists and lists its columns.
// The quickest proof that the library, the database layer and the work table
// work on this machine.
#include <cstdio>
#include <filesystem>
#include <string>

#include "db/connection.h"
#include "db/sqlite_backend.h"
#include "db/work_table.h"
#include "refhost/company_schema.h"

int main(int argc, char** argv) {
  std::string path =
      argc > 1 ? argv[1]
               : (std::filesystem::temp_directory_path() / "rnt0417-selfcheck.db").string();
  try {
    if (!std::filesystem::exists(path)) {
      rnt::db::SqliteBackend::CreateFile(path);
      rnt::db::Connection setup;
      setup.Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";");
      rnt::refhost::CreateHostTables(setup);
      rnt::refhost::CreateAddonTables(setup);
    }
    rnt::db::Connection connection;
    connection.Open("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                    ";Jet OLEDB:Database Password=QpTrnVaxLOKE;");
    for (const auto& outcome : rnt::db::EnsureWorkTable(connection)) {
      std::printf("%-4s %.*s\n", outcome.succeeded ? "made" : "had",
                  static_cast<int>(outcome.statement.size()), outcome.statement.data());
    }
    auto columns = connection.backend()->TableColumns("atShut");
    std::printf("company file %s: work table atShut has %zu columns:", path.c_str(),
                columns.size());
    for (const auto& column : columns) std::printf(" %s", column.name.c_str());
    std::printf("\n");
    return columns.size() == 18 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "rnt0417-selfcheck: %s\n", error.what());
    return 1;
  }
}
