#include "refhost/company_files.h"

#include "core/text_util.h"
#include "host/database_step.h"
#include "refhost/company_schema.h"
#include "rnt/error.h"

namespace rnt::refhost {

std::string JetConnectionText(const std::filesystem::path& file) {
  const std::string path = file.string();
  if (path.find(';') != std::string::npos) {
    throw Error("company file path '" + path + "' holds ';', which a connection text cannot carry");
  }
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";";
}

std::string QuotedText(std::string_view value) { return "'" + DoubleQuotes(value) + "'"; }

std::string ServerCompany::Catalogue(int year) const {
  std::string digits = std::to_string(year % 100);
  if (digits.size() < 2) digits = "0" + digits;
  return host::CatalogueName(company_code, digits);
}

YearSource CompanyFiles::CurrentYear() const {
  if (server) {
    std::string catalogue = server->Catalogue(server->year_start.year());
    return {server->login.ConnectionText(catalogue), catalogue};
  }
  return {JetConnectionText(current), current.string()};
}

std::optional<YearSource> CompanyFiles::PreviousYear() const {
  if (server) {
    std::string catalogue = server->Catalogue(server->year_start.year() - 1);
    return YearSource{server->login.ConnectionText(catalogue), catalogue};
  }
  if (!previous) return std::nullopt;
  return YearSource{JetConnectionText(*previous), previous->string()};
}

db::Connection& YearFile::Connection() {
  if (open_failure_) std::rethrow_exception(open_failure_);
  if (connection_.State() != ObjectState::kOpen) {
    try {
      connection_.Open(source_.connection_text);
    } catch (const Error&) {
      open_failure_ = std::current_exception();
      throw;
    }
    try {
      NumberRecordedRows(connection_);
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error&) {
      // A login that may not alter the tables reads them as they are; a list
      // of an older catalogue then fails naming the column it lacks.
    }
  }
  if (indexes_ == Indexes::kAdd && !indexes_tried_) {
    indexes_tried_ = true;
    try {
      CreateHostIndexes(connection_);
    } catch (const Error&) {
      // The indexes only make lookups faster. A file that may not be written
      // (a closed year kept read-only, say), or one that lacks a host table,
      // is read without them.
    }
  }
  return connection_;
}

size_t YearFile::TakeStatementsSent() {
  if (connection_.State() != ObjectState::kOpen) return 0;
  return connection_.backend()->TakeStatementsSent();
}

CompanyData::CompanyData(CompanyFiles files) : CompanyData(std::move(files), nullptr, nullptr) {}

CompanyData::CompanyData(CompanyFiles files, std::shared_ptr<YearFile> current,
                         std::shared_ptr<YearFile> previous)
    : files_(std::move(files)), current_(std::move(current)), previous_(std::move(previous)) {
  // Nothing is written while the command's values are checked.
  if (!current_) {
    current_ = std::make_shared<YearFile>(files_.CurrentYear(), YearFile::Indexes::kLeaveAsIs);
  }
  if (!previous_) {
    if (std::optional<YearSource> source = files_.PreviousYear()) {
      previous_ = std::make_shared<YearFile>(*source, YearFile::Indexes::kLeaveAsIs);
    }
  }
}

void CompanyData::AddIndexes() const {
  current_->AddIndexes();
  if (previous_) previous_->AddIndexes();
}

}  // namespace rnt::refhost
