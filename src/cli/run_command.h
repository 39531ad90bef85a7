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

// What `rnt0417 run` was asked to do.
struct RunOptions {
  std::filesystem::path company;
  std::optional<std::filesystem::path> previous_year;
  // A company on the database server instead: its code, the first day of its
  // open financial year, and the Server.Txt with the server's login.
  std::optional<std::string> server;
  std::optional<std::string> year_start;
  std::optional<std::filesystem::path> server_txt;
  std::string party;
  std::string rent_date;
  std::optional<std::string> search_date;  // default: the rent date
  std::optional<std::string> user;         // default: the login name
  std::string format = "table";
  int settle_ms = 4000;
  bool show_report = false;
  std::optional<std::filesystem::path> output;      // the statement goes there instead of stdout
  bool all_parties = false;                         // every party with movements, one by one
  std::optional<std::filesystem::path> output_dir;  // one statement file per party
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

// What `rnt0417 post` was asked to do.
struct PostOptions {
  std::filesystem::path company;
  std::string party;
  std::string rent_date;
  std::optional<std::string> user;
};

// Records the user's current rent lines of the party as its rent voucher.
int PostRentVoucher(const PostOptions& options, std::ostream& out, std::ostream& err);

// Copies a company's files into the database server's catalogues.
int CopyCompany(const CopyOptions& options, std::ostream& out, std::ostream& err);

// The name of the user who runs the program.
std::string LoginName();

}  // namespace rnt::cli
