#include "cli/company_years.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cli/addon_library.h"
#include "cli/run_values.h"
#include "refhost/year_files.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

using refhost::YearFileFound;

std::string YearText(Date start) {
  return ShortDateText(start) + " to " + ShortDateText(refhost::YearAfter(start).AddDays(-1));
}

// The start of a year's data; a file or catalogue that cannot be read ends
// the command.
Date ReadYearStart(const std::shared_ptr<refhost::YearFile>& year) {
  try {
    return refhost::YearStartOf(year);
  } catch (const Error& error) {
    throw RunError(error.what());
  }
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// A year can bill the rent dates from its first day (the run bills up to the
// day before, in the year before) to the day after its last.
void RequireRentDateInYear(Date start, Date rent_date, const std::string& year_name) {
  if (rent_date >= start && rent_date <= refhost::YearAfter(start)) return;
  throw CommandLineError("--rent-date: " + ShortDateText(rent_date) + " is outside the year of " +
                         year_name + " (" + YearText(start) + "): its rent dates run from " +
                         ShortDateText(start) + " to " + ShortDateText(refhost::YearAfter(start)));
}

// The one file of the folder whose year `fits`; `what` says which year for
// the messages.
std::optional<YearFileFound> OneYear(const std::vector<YearFileFound>& years,
                                     const std::filesystem::path& folder, const std::string& what,
                                     auto fits) {
  std::vector<YearFileFound> matching;
  std::copy_if(years.begin(), years.end(), std::back_inserter(matching), fits);
  if (matching.size() > 1) {
    throw CommandLineError("--company: " + folder.string() + " holds two files for " + what + ": " +
                           matching[0].file.string() + " and " + matching[1].file.string() +
                           "; name the year's file with --company FILE (and --previous-year)");
  }
  if (matching.empty()) return std::nullopt;
  return matching.front();
}

// A year's file, opened for reading only while the command's values are checked.
std::shared_ptr<refhost::YearFile> ReadOnly(const std::filesystem::path& file) {
  return std::make_shared<refhost::YearFile>(file, refhost::YearFile::Indexes::kLeaveAsIs);
}

refhost::CompanyData OnServer(const CompanyOptions& options, Date year_start,
                              std::optional<Date> rent_date) {
  refhost::CompanyFiles files;
  files.server =
      refhost::ServerCompany{ReadServerLogin(options.server_txt), *options.server, year_start};
  refhost::CompanyData company(std::move(files));
  const std::string& name = company.current()->name();
  const Date start = ReadYearStart(company.current());
  if (start != year_start) {
    throw CommandLineError("--year-start: catalogue " + name +
                           " holds the financial year starting " + ShortDateText(start));
  }
  if (rent_date) RequireRentDateInYear(start, *rent_date, "catalogue " + name);
  return company;
}

}  // namespace

void RequireFile(std::string_view option, const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw CommandLineError(std::string(option) + ": no such file: " + file.string());
  }
}

refhost::ServerLogin ReadServerLogin(const std::optional<std::filesystem::path>& named) {
  std::filesystem::path file = "Server.Txt";
  std::error_code error;
  if (named) {
    RequireFile("--server-txt", *named);
    file = *named;
  } else if (!std::filesystem::is_regular_file(file, error)) {
    file = AddonLibrary::NextToProgram().parent_path() / "Server.Txt";
  }
  try {
    return refhost::ServerLogin::FromFile(file);
  } catch (const Error& error) {
    throw RunError(error.what());
  }
}

refhost::CompanyData FindCompanyYears(const CompanyOptions& options, std::optional<Date> year_start,
                                      std::optional<Date> rent_date, std::ostream& err) {
  if (options.server) return OnServer(options, *year_start, rent_date);

  std::error_code error;
  const bool folder_named = std::filesystem::is_directory(options.company, error);
  refhost::CompanyFiles files;
  std::shared_ptr<refhost::YearFile> current_data, previous_data;
  std::optional<Date> start;
  if (!folder_named) {
    RequireFile("--company", options.company);
    files.current = std::filesystem::absolute(options.company);
    current_data = ReadOnly(files.current);
    start = ReadYearStart(current_data);
    if (rent_date) RequireRentDateInYear(*start, *rent_date, files.current.string());
  }
  const std::filesystem::path folder =
      folder_named ? std::filesystem::absolute(options.company) : files.current.parent_path();
  // The folder is read only where it has to tell a year.
  refhost::FolderYears in_folder;
  if (folder_named || !options.previous_year) {
    in_folder = refhost::YearFilesIn(folder, {current_data});
    for (const std::string& reason : in_folder.unreadable) {
      err << "rnt0417: warning: passed over as a company year: " << reason << "\n";
    }
  }
  if (folder_named) {
    const std::vector<YearFileFound>& years = in_folder.years;
    if (years.empty()) {
      throw CommandLineError("--company: no company year file in " + folder.string());
    }
    std::optional<YearFileFound> current = years.back();
    if (rent_date) {
      const Date closing = rent_date->AddDays(-1);
      current = OneYear(years, folder, "the year holding " + ShortDateText(closing),
                        [closing](const YearFileFound& year) {
                          return year.start <= closing && closing < refhost::YearAfter(year.start);
                        });
      // The first day of the company's first year bills nothing before it.
      if (!current) {
        current = OneYear(years, folder, "the year starting " + ShortDateText(*rent_date),
                          [&](const YearFileFound& year) { return year.start == *rent_date; });
      }
      if (!current) {
        throw CommandLineError("--rent-date: no year file in " + folder.string() + " bills " +
                               ShortDateText(*rent_date) + " (its files hold the days from " +
                               ShortDateText(years.front().start) + " to " +
                               ShortDateText(refhost::YearAfter(years.back().start).AddDays(-1)) +
                               ")");
      }
    }
    files.current = current->file;
    start = current->start;
    current_data = current->data;
  }

  const Date previous_start = refhost::YearBefore(*start);
  if (options.previous_year) {
    RequireFile("--previous-year", *options.previous_year);
    const std::filesystem::path previous = std::filesystem::absolute(*options.previous_year);
    if (SameFile(previous, files.current)) {
      throw CommandLineError("--previous-year: " + previous.string() +
                             " is the current year's file itself");
    }
    previous_data = ReadOnly(previous);
    const Date held = ReadYearStart(previous_data);
    if (held != previous_start) {
      throw CommandLineError("--previous-year: " + previous.string() + " holds the year " +
                             YearText(held) + ", not the one before " +
                             files.current.filename().string() + " (" + YearText(previous_start) +
                             ")");
    }
    files.previous = previous;
  } else if (std::optional<YearFileFound> previous = OneYear(
                 in_folder.years, folder, "the year " + YearText(previous_start),
                 [&](const YearFileFound& year) {
                   return year.start == previous_start && !SameFile(year.file, files.current);
                 })) {
    files.previous = previous->file;
    previous_data = previous->data;
  }
  return refhost::CompanyData(std::move(files), std::move(current_data), std::move(previous_data));
}

}  // namespace rnt::cli
