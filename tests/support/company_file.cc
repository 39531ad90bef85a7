#include "support/company_file.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "db/sqlite_backend.h"
#include "refhost/company_schema.h"

namespace rnt::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rnt0417-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string JetConnectionText(const std::filesystem::path& file) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() +
         ";Jet OLEDB:Database Password=QpTrnVaxLOKE;";
}

CompanyFile::CompanyFile() : path_(folder_.path() / "company.db") {
  db::SqliteBackend::CreateFile(path_.string());
  connection_.Open(connection_text());
  refhost::CreateHostTables(connection_);
  refhost::CreateAddonTables(connection_);
}

}  // namespace rnt::testing
