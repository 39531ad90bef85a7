#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace rnt::testing {

// A folder of its own for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The connection text by which the add-on opens a company file.
std::string JetConnectionText(const std::filesystem::path& file);

// A company file in a folder of its own, with the host's and the add-on's
// tables and a connection to it for filling them.
class CompanyFile {
 public:
  CompanyFile();
  const std::filesystem::path& path() const { return path_; }
  std::string connection_text() const { return JetConnectionText(path_); }
  db::Connection& connection() { return connection_; }
  // Runs statements written in the host's dialect on the company file.
  void Execute(std::string_view sql) { connection_.Execute(sql); }

 private:
  TempFolder folder_;
  std::filesystem::path path_;
  db::Connection connection_;
};

}  // namespace rnt::testing
