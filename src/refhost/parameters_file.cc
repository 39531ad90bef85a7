#include "refhost/parameters_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/addon_files.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

void RequireOneField(std::string_view what, std::string_view value) {
  if (value.find(platform::kParametersSeparator) != std::string_view::npos) {
    throw Error(std::string(what) + " '" + std::string(value) +
                "' cannot be written into the parameters file: it holds the field separator " +
                std::string(platform::kParametersSeparator));
  }
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    throw Error(std::string(what) + " '" + std::string(value) +
                "' cannot be written into the parameters file: it holds a line break");
  }
}

}  // namespace

std::string ParametersLine(std::string_view rent_date_text, std::string_view party,
                           std::string_view search_date_text) {
  RequireOneField("rent date", rent_date_text);
  RequireOneField("party", party);
  RequireOneField("search date", search_date_text);

  std::string line(rent_date_text);
  line += platform::kParametersSeparator;
  line += party;
  line += platform::kParametersSeparator;
  line += search_date_text;
  line += "\r\n";
  return line;
}

std::filesystem::path WriteParametersFile(const std::filesystem::path& folder,
                                          std::string_view user_name,
                                          std::string_view rent_date_text, std::string_view party,
                                          std::string_view search_date_text) {
  const std::filesystem::path file = folder / platform::ParametersFileName(user_name);
  const std::string line = ParametersLine(rent_date_text, party, search_date_text);

  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (out) out.write(line.data(), static_cast<std::streamsize>(line.size()));
  if (out) out.close();
  if (!out) {
    throw Error("cannot write the parameters file " + file.string() + ": " + std::strerror(errno));
  }
  return file;
}

}  // namespace rnt::refhost
