#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::refhost {

// The first day of a financial year's data: FinancialYear.StartDate. Throws
// rnt::DatabaseUnavailable when the data cannot be opened or read, and
// rnt::Error naming it when it holds no start date that is a date.
Date YearStartOf(const std::shared_ptr<YearFile>& year);

// The same day of the month one year earlier, and one year later (a 29
// February goes to the 28th): the start of the financial year before and of
// the one after.
Date YearBefore(Date start);
Date YearAfter(Date start);

// One of a company's year files, the first day of its financial year, and
// the connection by which that was read, for the command to go on with.
struct YearFileFound {
  std::filesystem::path file;  // absolute
  Date start;
  std::shared_ptr<YearFile> data;
};

// The company year files of a folder: every file in it that is a database,
// with the financial year that its FinancialYear names, sorted by that year.
// Other files are passed over; a database whose financial year cannot be read
// is named in `unreadable` with the reason.
struct FolderYears {
  std::vector<YearFileFound> years;
  std::vector<std::string> unreadable;
};
//
// A file that the command holds open already (`held`) is taken as it is,
// never opened again: closing any other handle of a database file would drop
// this process's locks on it, and another process could then take the file
// for its sole use under the open connection. For the same reason the
// database's side files (its -wal, -shm and -journal) are never opened.
FolderYears YearFilesIn(const std::filesystem::path& folder,
                        const std::vector<std::shared_ptr<YearFile>>& held = {});

}  // namespace rnt::refhost
