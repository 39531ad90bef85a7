#include "cli/run_command.h"

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "cli/addon_library.h"
#include "cli/statement_format.h"
#include "platform/addon_files.h"
#include "refhost/company_files.h"
#include "refhost/components.h"
#include "refhost/host_application.h"
#include "refhost/parameters_file.h"
#include "refhost/rent_lines.h"
#include "refhost/server_copy.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// A wrong value on the command line: exit 2, nothing written.
class CommandLineError : public Error {
 public:
  using Error::Error;
};

// The run could not be made: exit 1.
class RunError : public Error {
 public:
  using Error::Error;
};

// The default window system, with the pause inside Start as the user set it.
class CommandLineWindowing : public platform::Windowing {
 public:
  explicit CommandLineWindowing(int settle_ms)
      : inner_(platform::MakeDefaultWindowing()), settle_ms_(settle_ms) {}
  void Yield() override { inner_->Yield(); }
  void SetMousePointer(int pointer) override { inner_->SetMousePointer(pointer); }
  void Sleep(int) override { std::this_thread::sleep_for(std::chrono::milliseconds(settle_ms_)); }
  void ShowModal(ui::FrmError& form) override { inner_->ShowModal(form); }

 private:
  std::shared_ptr<platform::Windowing> inner_;
  int settle_ms_;
};

// A folder of the run's own for the add-on's files, so that runs made at the
// same time never share a parameters file. Removed with the run.
class RunFolder {
 public:
  RunFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rnt0417-run-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw RunError("cannot make a folder for the run's files");
    path_ = pattern;
  }
  ~RunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Date DateOption(std::string_view option, const std::string& text) {
  std::optional<Date> date = ParseDateText(text);
  if (!date) {
    throw CommandLineError(std::string(option) + ": not a date: '" + text +
                           "' (expected DD-MM-YYYY)");
  }
  return *date;
}

void RequireFile(std::string_view option, const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw CommandLineError(std::string(option) + ": no such file: " + file.string());
  }
}

// The values of the run, checked: the dates are dates, the files exist, the
// user name can name a file, the party is a party of the company.
struct CheckedRun {
  refhost::CompanyFiles files;
  std::string user;
  Date rent_date;
  Date search_date;
};

// The Server.Txt to use: the one named, else the one in the working folder,
// else the one next to the program.
std::filesystem::path ServerTxt(const std::optional<std::filesystem::path>& named) {
  if (named) {
    RequireFile("--server-txt", *named);
    return *named;
  }
  std::error_code error;
  if (std::filesystem::is_regular_file("Server.Txt", error)) return "Server.Txt";
  return AddonLibrary::NextToProgram().parent_path() / "Server.Txt";
}

refhost::ServerLogin ReadServerLogin(const std::optional<std::filesystem::path>& named) {
  try {
    return refhost::ServerLogin::FromFile(ServerTxt(named));
  } catch (const CommandLineError&) {
    throw;
  } catch (const Error& error) {
    throw RunError(error.what());
  }
}

CheckedRun Check(const RunOptions& options) {
  Date rent_date = DateOption("--rent-date", options.rent_date);
  Date search_date =
      options.search_date ? DateOption("--search-date", *options.search_date) : rent_date;
  CheckedRun run{{}, {}, rent_date, search_date};
  if (options.server) {
    if (!options.company.empty() || options.previous_year) {
      throw CommandLineError("--server: a company is either on the server or in files, not both");
    }
    if (!options.year_start) throw CommandLineError("--server needs --year-start DD-MM-YYYY");
    run.files.server = refhost::ServerCompany{ReadServerLogin(options.server_txt), *options.server,
                                              DateOption("--year-start", *options.year_start)};
  } else {
    if (options.company.empty())
      throw CommandLineError("--company FILE or --server CODE is needed");
    RequireFile("--company", options.company);
    run.files.current = std::filesystem::absolute(options.company);
    if (options.previous_year) {
      RequireFile("--previous-year", *options.previous_year);
      run.files.previous = std::filesystem::absolute(*options.previous_year);
    }
  }
  run.user = options.user.value_or(LoginName());
  if (run.user.empty() || !platform::IsSafeUserName(run.user)) {
    throw CommandLineError("--user: '" + run.user +
                           "' cannot be a user name (it must not be empty or hold '/', '\\' or "
                           "'..')");
  }
  // Nothing is written before every value is known good: the party is looked
  // up without giving the file its indexes.
  auto company = std::make_shared<refhost::YearFile>(run.files.CurrentYear(),
                                                     refhost::YearFile::Indexes::kLeaveAsIs);
  try {
    company->Connection();
  } catch (const Error& error) {
    throw RunError(error.what());
  }
  if (run.files.server) {
    std::optional<Date> start;
    try {
      start = refhost::ReferenceCalendar(company).YearDate().ToDate();
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    if (*start != run.files.server->year_start) {
      throw CommandLineError("--year-start: catalogue " + company->name() +
                             " holds the financial year starting " + ShortDateText(*start));
    }
  }
  try {
    refhost::ReferenceMasterLookup(company).CodeOf(options.party, HostMasterLookup::kParty);
  } catch (const Error& error) {
    throw CommandLineError("--party: no party '" + options.party + "' in Master1 of " +
                           company->name());
  }
  return run;
}

void PrintReport(const RunReport& report, std::ostream& err) {
  for (const SkippedStep& step : report.skipped) {
    err << "rnt0417: skipped: " << step.step << ": " << step.failure << "\n";
  }
  for (const std::string& note : report.notes) err << "rnt0417: " << note << "\n";
}

int Run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  StatementFormat format = ParseStatementFormat(options.format);
  CheckedRun run = Check(options);

  RunFolder folder;
  if (run.files.server) {
    // The add-on reads the server's login from its own folder.
    std::ofstream(folder.path() / "Server.Txt") << run.files.server->login.line << "\r\n";
  }
  refhost::WriteParametersFile(folder.path(), run.user, ShortDateText(run.rent_date), options.party,
                               ShortDateText(run.search_date));

  AddonLibrary library(AddonLibrary::NextToProgram());
  auto host = std::make_shared<refhost::ReferenceHostApplication>(run.user, run.files);
  HostServices services;
  services.components = std::make_shared<refhost::ReferenceComponentFactory>(run.files);
  services.windowing = std::make_shared<CommandLineWindowing>(options.settle_ms);
  services.addon_folder = folder.path();
  library.SetHostServices(services);

  RunReport report;
  {
    AddonLibrary::Object addon = library.Create("IKoraWin");
    Collection p_data = refhost::MakeActivationData(run.files, host);
    addon->ActivateDB(p_data);
    addon->Start();
    report = addon->LastRunReport();
  }
  library.SetHostServices(HostServices());
  if (options.show_report) PrintReport(report, err);

  if (report.refusal) {
    err << "rnt0417: Invalid Data !! " << *report.refusal << "\n";
    return kRentDateRefused;
  }
  if (const SkippedStep* failure = report.FirstDatabaseFailure()) {
    throw RunError(failure->step + ": " + failure->failure);
  }
  refhost::YearFile company(run.files.CurrentYear());
  PrintStatement(refhost::ReadRentLines(company.Connection(), run.user), format, out);
  return kRunFinished;
}

}  // namespace

int CopyCompany(const CopyOptions& options, std::ostream& out, std::ostream& err) {
  try {
    refhost::CompanyFiles files;
    RequireFile("--company", options.company);
    files.current = std::filesystem::absolute(options.company);
    if (options.previous_year) {
      RequireFile("--previous-year", *options.previous_year);
      files.previous = std::filesystem::absolute(*options.previous_year);
    }
    refhost::ServerLogin login = ReadServerLogin(options.server_txt);
    for (const std::string& catalogue :
         refhost::CopyCompanyToServer(files, login, options.server)) {
      out << "copied into catalogue " << catalogue << "\n";
    }
    return kRunFinished;
  } catch (const CommandLineError& error) {
    err << "rnt0417: " << error.what() << "\n";
    return kBadCommandLine;
  } catch (const std::exception& error) {
    err << "rnt0417: the company could not be copied: " << error.what() << "\n";
    return kRunNotMade;
  }
}

std::string LoginName() {
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return "user";
}

int RunRentRun(const RunOptions& options, std::ostream& out, std::ostream& err) {
  try {
    return Run(options, out, err);
  } catch (const CommandLineError& error) {
    err << "rnt0417: " << error.what() << "\n";
    return kBadCommandLine;
  } catch (const std::exception& error) {
    err << "rnt0417: the run could not be made: " << error.what() << "\n";
    return kRunNotMade;
  }
}

}  // namespace rnt::cli
