#include "engine/run_parameters.h"

#include <fstream>
#include <vector>

#include "platform/addon_files.h"
#include "rnt/error.h"

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
  fields.resize(std::max<size_t>(fields.size(), 3));
  return {fields[0], fields[1], fields[2]};
}

RunParameters ReadParametersFile(const std::filesystem::path& folder, const Variant& user_name) {
  std::filesystem::path file = folder / platform::ParametersFileName(user_name.ToText());
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Error("cannot read the parameters file " + file.string());
  std::string line;
  std::getline(in, line);
  return ParseParametersLine(std::move(line));
}

}  // namespace rnt::engine
