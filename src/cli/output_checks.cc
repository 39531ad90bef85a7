#include "cli/output_checks.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <ctime>

#include "cli/run_values.h"

namespace rnt::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Extension(StatementFormat format) {
  switch (format) {
    case StatementFormat::kCsv:
      return ".csv";
    case StatementFormat::kJson:
      return ".json";
    case StatementFormat::kHtml:
      return ".html";
    case StatementFormat::kSheet:
      return ".sheet.csv";
    default:
      return ".txt";
  }
}

}  // namespace

Date Today() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  return Date::FromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void RequireWritableFile(std::string_view option, const std::filesystem::path& file) {
  const std::string where = std::string(option) + ": " + file.string();
  std::error_code error;
  std::filesystem::path folder = std::filesystem::absolute(file, error).parent_path();
  if (std::filesystem::is_directory(file, error)) {
    throw CommandLineError(where + " is a folder, not a file");
  }
  if (!std::filesystem::is_directory(folder, error)) {
    throw CommandLineError(where + ": no such folder: " + folder.string());
  }
  if (std::filesystem::exists(file, error) ? access(file.c_str(), W_OK) != 0
                                           : access(folder.c_str(), W_OK | X_OK) != 0) {
    throw CommandLineError(where + " cannot be written");
  }
}

void RequireNotCompanyFile(std::string_view option, const std::filesystem::path& file,
                           const refhost::CompanyFiles& company) {
  std::error_code error;
  const std::filesystem::path named = std::filesystem::weakly_canonical(file, error);
  for (const std::optional<std::filesystem::path>& year :
       {std::optional(company.current), company.previous}) {
    if (!year || year->empty()) continue;
    const std::filesystem::path data = std::filesystem::weakly_canonical(*year, error);
    for (std::string_view side : {"", "-wal", "-shm", "-journal", "-users.lock"}) {
      if (named == data.string() + std::string(side)) {
        throw CommandLineError(std::string(option) + ": " + file.string() +
                               " is the company's file " + named.string() +
                               "; the statement would overwrite it");
      }
    }
  }
}

void RequireWritableFolder(std::string_view option, const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::path existing = std::filesystem::absolute(folder, error);
  while (!std::filesystem::exists(existing, error) && existing.has_relative_path()) {
    existing = existing.parent_path();
  }
  const std::string where = std::string(option) + ": " + folder.string();
  if (!std::filesystem::is_directory(existing, error)) {
    throw CommandLineError(where + ": " + existing.string() + " is not a folder");
  }
  if (access(existing.c_str(), W_OK | X_OK) != 0) {
    throw CommandLineError(where + " cannot be written (" + existing.string() + ")");
  }
}

std::string StatementFileNames::Take(const std::string& party, StatementFormat format) {
  std::string stem;
  for (unsigned char c : party) stem += std::isalnum(c) || c == '-' ? static_cast<char>(c) : '_';
  std::string name = stem + Extension(format);
  for (int n = 2; !taken_.insert(Lower(name)).second; ++n) {
    name = stem + "-" + std::to_string(n) + Extension(format);
  }
  return name;
}

}  // namespace rnt::cli
