#include "engine/run_parameters.h"

#include <fstream>
#include <vector>

#include "platform/addon_files.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {

RunParameters ParseParametersLine(std::string line) {
  for (size_t pair = line.find("\r\n"); pair != std::string::npos; pair = line.find("\r\n")) {
    line.erase(pair, 2);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::vector<std::string> fields;
  const std::string_view separator = platform::kParametersSeparator;
  size_t start = 0;
  while (true) {
    size_t end = line.find(separator, start);
    fields.push_back(line.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  size_t count = fields.size();
  fields.resize(std::max<size_t>(fields.size(), 3));
  return {fields[0], fields[1], fields[2], count};
}

std::filesystem::path ParametersFilePath(const std::filesystem::path& folder,
                                         const Variant& user_name) {
  return folder / platform::ParametersFileName(user_name.ToText());
}

RunParameters ReadParametersFile(const std::filesystem::path& folder, const Variant& user_name) {
  std::filesystem::path file = ParametersFilePath(folder, user_name);
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Error("cannot read the parameters file " + file.string());
  std::string line;
  std::getline(in, line);
  return ParseParametersLine(std::move(line));
}

void RequireRunParameters(const RunParameters& parameters, const std::filesystem::path& file) {
  const std::string where = "the parameters file " + file.string();
  if (parameters.fields <= 1 && parameters.rent_date.empty()) throw Error(where + " is empty");
  if (parameters.fields < 3) {
    throw Error(where + " has " + std::to_string(parameters.fields) + " field(s) separated by " +
                std::string(platform::kParametersSeparator) +
                " where three are needed (rent date, party, search date)");
  }
  if (!ParseDateText(parameters.rent_date)) {
    throw Error(where + ": the rent date is not a date: '" + parameters.rent_date + "'");
  }
  if (parameters.party.find_first_not_of(' ') == std::string::npos) {
    throw Error(where + " names no party");
  }
  if (!ParseDateText(parameters.search_date)) {
    throw Error(where + ": the search date is not a date: '" + parameters.search_date + "'");
  }
}

}  // namespace rnt::engine
