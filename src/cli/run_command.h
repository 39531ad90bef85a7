#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace rnt::cli {

// The exit statuses of rnt0417.
enum ExitStatus : int {
  kRunFinished = 0,
  kRunNotMade = 1,      // the company database could not be opened or written
  kBadCommandLine = 2,  // a value of the command line is wrong; nothing was written
  kRentDateRefused = 3,
};

// Where a command finds the company: its year files (a folder of them, or
// one file and, when the folder does not tell, the year before's), or its
// catalogues on the database server.
struct CompanyOptions {
  std::filesystem::path company;  // a year file, or the folder of the company's year files
  std::optional<std::filesystem::path> previous_year;
  // A company on the database server instead: its code, the first day of its
  // open financial year, and the Server.Txt with the server's login.
  std::optional<std::string> server;
  std::optional<std::string> year_start;
  std::optional<std::filesystem::path> server_txt;
};

// What `rnt0417 run` (or `post`, which makes the same run) was asked to do.
struct RunOptions : CompanyOptions {
  std::string party;
  // The days billed, named one way: the rent date (the day after the last day
  // billed), the last day billed, or a calendar month (MM-YYYY).
  std::optional<std::string> rent_date;
  std::optional<std::string> to;
  std::optional<std::string> month;
  std::optional<std::string> search_date;  // default: the rent date
  std::optional<std::string> user;         // default: the login name
  std::string format = "table";
  // The pause that the add-on asks for inside Start; a terminal has nothing
  // to wait for.
  int settle_ms = 0;
  bool show_report = false;
  std::optional<std::filesystem::path> output;      // the statement goes there instead of stdout
  bool all_parties = false;                         // every party with movements, one by one
  std::optional<std::filesystem::path> output_dir;  // one statement file per party
  // How long to wait for another command of the same user on the company.
  int wait_seconds = 60;
  // The clerk says the company has no year before the current one, so that
  // nothing delivered before the year began is missing from the bill.
  bool first_year = false;
};

// Makes one rent run the way the host does and prints the user's rent lines.
// Every value is checked before anything is written or started. Returns the
// exit status; reasons go to `err`, the statement to `out`.
int RunRentRun(const RunOptions& options, std::ostream& out, std::ostream& err);

// What `rnt0417 copy-company` was asked to do.
struct CopyOptions {
  std::filesystem::path company;
  std::optional<std::filesystem::path> previous_year;
  std::string server;
  std::optional<std::filesystem::path> server_txt;
};

// Makes the party's rent run as `run` does and records exactly its lines as
// the party's rent voucher on the run's closing date, or refuses (exit 3)
// with nothing posted.
int PostRentVoucher(const RunOptions& options, std::ostream& out, std::ostream& err);

// Copies a company's files into the database server's catalogues.
int CopyCompany(const CopyOptions& options, std::ostream& out, std::ostream& err);

// The name of the user who runs the program.
std::string LoginName();

}  // namespace rnt::cli
