#include "host/server_text.h"

#include <vector>

#include "rnt/error.h"

namespace rnt::host {
namespace {

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t end = line.find(';', start);
    fields.emplace_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

}  // namespace

std::string CatalogueName(std::string_view company_code, std::string_view year_digits) {
  return std::string(company_code) + "_db120" + std::string(year_digits);
}

std::string ServerTxtLine(std::string_view contents) {
  std::string_view line = contents.substr(0, contents.find('\n'));
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

std::string ServerConnectionText(std::string_view server_line, std::string_view catalogue) {
  std::vector<std::string> fields = SplitFields(server_line);
  if (fields.size() < 4) {
    throw Error("Server.Txt has " + std::to_string(fields.size()) +
                " field(s) separated by ';' where four are needed: '" + std::string(server_line) +
                "'");
  }
  return "Provider = SQLOLEDB.1;Data Source=" + fields[1] +
         ";Initial Catalog= " + std::string(catalogue) + ";User ID=" + fields[2] +
         ";Password=" + fields[3] + ";";
}

}  // namespace rnt::host
