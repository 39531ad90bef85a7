#pragma once

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "refhost/server_login.h"
#include "rnt/date.h"

namespace rnt::refhost {

// One financial year's company data: how to connect to it, and what to call
// it in messages (a file's path, a catalogue's name).
struct YearSource {
  std::string connection_text;
  std::string name;
};

// A company kept on the database server: one catalogue per financial year,
// named by the company code and the year.
struct ServerCompany {
  ServerLogin login;
  std::string company_code;
  Date year_start;  // the first day of the open financial year

  std::string Catalogue(int year) const;
};

// The company's data: its database files, the open financial year's and,
// when the company has one, the year before's; or its catalogues on the
// database server.
struct CompanyFiles {
  std::filesystem::path current;
  std::optional<std::filesystem::path> previous;
  std::optional<ServerCompany> server = std::nullopt;

  YearSource CurrentYear() const;
  // On the server the year before's catalogue is named whether it exists or not.
  std::optional<YearSource> PreviousYear() const;
};

// The connection text by which a company file is opened (the Jet route,
// served by SQLite). Throws rnt::Error for a path that a connection text
// cannot carry: one holding ';', which separates the text's settings.
std::string JetConnectionText(const std::filesystem::path& file);

// A text value written into a query of the host's dialect: in single quotes,
// each quote inside doubled, so that a name like O'Brien stays one value.
std::string QuotedText(std::string_view value);

// One financial year's company data and a connection of its own to it,
// opened when it is first needed and kept open afterwards.
class YearFile {
 public:
  // Whether opening the file gives its host tables the lookup indexes.
  enum class Indexes { kAdd, kLeaveAsIs };

  explicit YearFile(YearSource source, Indexes indexes = Indexes::kAdd)
      : source_(std::move(source)), indexes_(indexes) {}
  explicit YearFile(const std::filesystem::path& file, Indexes indexes = Indexes::kAdd)
      : YearFile(YearSource{JetConnectionText(file), file.string()}, indexes) {}
  YearFile(const YearFile&) = delete;
  YearFile& operator=(const YearFile&) = delete;

  // The open connection. The first call after the indexes are asked for also
  // gives the host tables the indexes that the rent runs look rows up by,
  // where the file can be written. Throws rnt::Error naming the file when it
  // cannot be opened, and the same error on every later call: a year that
  // cannot be reached is not tried again (on the server each try is a login).
  db::Connection& Connection();
  // Asks for the lookup indexes from now on. They are made when the
  // connection is next used, so that a year the run never reads is left as it
  // was.
  void AddIndexes() { indexes_ = Indexes::kAdd; }
  // The file's path or the catalogue's name.
  const std::string& name() const { return source_.name; }
  // The statements sent over the connection since it was opened or since the
  // last call; 0 when it is not open.
  size_t TakeStatementsSent();

 private:
  YearSource source_;
  Indexes indexes_;
  bool indexes_tried_ = false;
  std::exception_ptr open_failure_;
  db::Connection connection_;
};

// The company's data as one command reads and writes it on the host's side:
// where its years are, and one connection to each year, opened when first
// needed and shared by everything the command does, so that a company on the
// server is logged on to once per year, not once per question. Copies share
// the connections.
class CompanyData {
 public:
  explicit CompanyData(CompanyFiles files);
  // With the years' data opened already (while the years were found); a null
  // year is opened from `files` when it is needed.
  CompanyData(CompanyFiles files, std::shared_ptr<YearFile> current,
              std::shared_ptr<YearFile> previous);

  const CompanyFiles& files() const { return files_; }
  const std::shared_ptr<YearFile>& current() const { return current_; }
  // Null when the company has no previous year's file; on the server the
  // catalogue of the year before, whether it exists or not.
  const std::shared_ptr<YearFile>& previous() const { return previous_; }

  // The host tables of both years get their lookup indexes when next read:
  // for the rent run, once every value it was given has been checked.
  void AddIndexes() const;

 private:
  CompanyFiles files_;
  std::shared_ptr<YearFile> current_;
  std::shared_ptr<YearFile> previous_;
};

}  // namespace rnt::refhost
