#include "support/company_file.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "db/recordset.h"
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

std::vector<std::string> RowTexts(HostRecordset& rows,
                                  const std::vector<std::string_view>& columns) {
  std::vector<std::string> texts;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::string& row = texts.emplace_back();
    for (const std::string_view& column : columns) {
      const Variant value = rows.Field(column);
      row += (&column == &columns.front() ? "" : "|") + (value.IsNull() ? "null" : value.ToText());
    }
  }
  return texts;
}

std::vector<std::string> RowTexts(const db::Connection& connection, std::string_view sql,
                                  const std::vector<std::string_view>& columns) {
  db::Recordset rows;
  rows.Open(sql, connection);
  return RowTexts(rows, columns);
}

}  // namespace rnt::testing
