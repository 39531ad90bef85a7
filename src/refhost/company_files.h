#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace rnt::refhost {

// The company's database files: the open financial year's and, when the
// company has one, the year before's.
struct CompanyFiles {
  std::filesystem::path current;
  std::optional<std::filesystem::path> previous;
};

// The connection text by which a company file is opened (the Jet route,
// served by SQLite). Throws rnt::Error for a path that a connection text
// cannot carry: one holding ';', which separates the text's settings.
std::string JetConnectionText(const std::filesystem::path& file);

// A text value written into a query of the host's dialect: in single quotes,
// each quote inside doubled, so that a name like O'Brien stays one value.
std::string QuotedText(std::string_view value);

// One financial year's company file and a connection of its own to it,
// opened when it is first needed and kept open afterwards.
class YearFile {
 public:
  // Whether opening the file gives its host tables the lookup indexes.
  enum class Indexes { kAdd, kLeaveAsIs };

  explicit YearFile(std::filesystem::path path, Indexes indexes = Indexes::kAdd)
      : path_(std::move(path)), indexes_(indexes) {}
  YearFile(const YearFile&) = delete;
  YearFile& operator=(const YearFile&) = delete;

  // The open connection. Opening the file also gives its host tables the
  // indexes that the rent runs look rows up by, where the file can be
  // written. Throws rnt::Error naming the file when it cannot be opened; the
  // next call tries again.
  db::Connection& Connection();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  Indexes indexes_;
  db::Connection connection_;
};

}  // namespace rnt::refhost
