#include "refhost/year_files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "refhost/components.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// Every database file begins with these 16 bytes; checking them first keeps
// the statements, notes and side files of a company's folder unopened.
bool IsDatabaseFile(const std::filesystem::path& file) {
  static constexpr char kHeader[] = "SQLite format 3";  // with its NUL, 16 bytes
  char header[sizeof kHeader] = {};
  std::ifstream in(file, std::ios::binary);
  return in.read(header, sizeof header) && std::memcmp(header, kHeader, sizeof kHeader) == 0;
}

// A database's write-ahead log, its shared-memory index or its rollback
// journal, which the database library holds while the database is open; or
// the lock file that keeps one user's commands on the year apart.
bool IsSideFile(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  for (std::string_view side : {"-wal", "-shm", "-journal", "-users.lock"}) {
    if (name.size() > side.size() && name.ends_with(side)) return true;
  }
  return false;
}

Date ShiftedByYears(Date start, int years) {
  const int year = start.year() + years;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int day = start.month() == 2 && start.day() == 29 && !leap ? 28 : start.day();
  return Date::FromYmd(year, start.month(), day);
}

}  // namespace

Date YearStartOf(const std::shared_ptr<YearFile>& year) {
  return ReferenceCalendar(year).YearDate().ToDate();
}

Date YearBefore(Date start) { return ShiftedByYears(start, -1); }
Date YearAfter(Date start) { return ShiftedByYears(start, 1); }

FolderYears YearFilesIn(const std::filesystem::path& folder,
                        const std::vector<std::shared_ptr<YearFile>>& held) {
  FolderYears found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::filesystem::path file = std::filesystem::absolute(entry.path());
    auto same = [&file](const std::shared_ptr<YearFile>& year) {
      std::error_code same_error;
      return year && std::filesystem::equivalent(year->name(), file, same_error);
    };
    auto open = std::find_if(held.begin(), held.end(), same);
    // A file reached a second time in the folder (a link to it) is held by
    // this loop already.
    if (std::any_of(found.years.begin(), found.years.end(),
                    [&same](const YearFileFound& year) { return same(year.data); })) {
      continue;
    }
    std::error_code kind_error;
    if (open == held.end() &&
        (IsSideFile(file) || !entry.is_regular_file(kind_error) || !IsDatabaseFile(file))) {
      continue;
    }
    try {
      auto data = open != held.end()
                      ? *open
                      : std::make_shared<YearFile>(file, YearFile::Indexes::kLeaveAsIs);
      found.years.push_back({file, YearStartOf(data), data});
    } catch (const Error& why) {
      found.unreadable.push_back(why.what());
    }
  }
  if (error) throw Error("cannot list the folder " + folder.string() + ": " + error.message());
  std::sort(found.years.begin(), found.years.end(),
            [](const YearFileFound& a, const YearFileFound& b) {
              return a.start != b.start ? a.start < b.start : a.file < b.file;
            });
  return found;
}

}  // namespace rnt::refhost
