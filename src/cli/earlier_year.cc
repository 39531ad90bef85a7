#include "cli/earlier_year.h"

#include "cli/run_values.h"
#include "db/recordset.h"
#include "refhost/year_files.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

std::string YearText(Date start) {
  return ShortDateText(start) + " to " + ShortDateText(refhost::YearAfter(start).AddDays(-1));
}

// Whether the server holds the catalogue, asked over the current year's
// connection: pg_database lists every catalogue of the server.
bool CatalogueExists(const refhost::CompanyData& company, const std::string& catalogue) {
  try {
    db::Recordset rows;
    rows.Open("select datname from pg_database where datname=" + refhost::QuotedText(catalogue),
              company.current()->Connection());
    return !rows.Eof();
  } catch (const Error& error) {
    throw RunError("cannot tell whether the server holds the catalogue " + catalogue + ": " +
                   error.what());
  }
}

}  // namespace

std::optional<std::string> MissingEarlierYear(const refhost::CompanyData& company) {
  const refhost::CompanyFiles& files = company.files();
  if (files.server) {
    const std::shared_ptr<refhost::YearFile>& previous = company.previous();
    if (previous && CatalogueExists(company, previous->name())) return std::nullopt;
    const Date start = refhost::YearBefore(files.server->year_start);
    return "no catalogue " + files.server->Catalogue(start.year()) +
           " on the server for the year " + YearText(start);
  }
  if (company.previous() || files.previous) return std::nullopt;
  std::string start_text;
  try {
    start_text = YearText(refhost::YearBefore(refhost::YearStartOf(company.current())));
  } catch (const Error& error) {
    throw RunError(error.what());
  }
  return "no file for the year " + start_text + " in " + files.current.parent_path().string();
}

std::optional<std::string> CheckEarlierYear(const refhost::CompanyData& company, bool first_year,
                                            std::ostream& err) {
  std::optional<std::string> missing = MissingEarlierYear(company);
  if (!missing) {
    if (first_year) {
      throw CommandLineError("--first-year: the company has the year before the current one (" +
                             company.previous()->name() +
                             "); its material is billed, and --first-year goes without it");
    }
    return std::nullopt;
  }
  if (first_year) return std::nullopt;
  err << "rnt0417: warning: " << *missing
      << ": material delivered before the year began is not billed (if the company has no "
         "earlier year, say so with --first-year)\n";
  return missing;
}

}  // namespace rnt::cli
