#include "cli/run_command.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "cli/addon_library.h"
#include "cli/progress.h"
#include "cli/run_values.h"
#include "cli/spinner.h"
#include "cli/statement_format.h"
#include "platform/addon_files.h"
#include "refhost/company_files.h"
#include "refhost/components.h"
#include "refhost/host_application.h"
#include "refhost/item_names.h"
#include "refhost/parameters_file.h"
#include "refhost/parties.h"
#include "refhost/rent_lines.h"
#include "refhost/rent_voucher.h"
#include "refhost/server_copy.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "ui/frm_error.h"

namespace rnt::cli {
namespace {

// The run could not be made: exit 1.
class RunError : public Error {
 public:
  using Error::Error;
};

// The default window system, with the pause inside Start as the user set it.
class CommandLineWindowing : public platform::Windowing {
 public:
  // Forms are shown only to a user at a terminal; otherwise the refusal is
  // reported on standard error, and piped output holds nothing but results.
  CommandLineWindowing(int settle_ms, bool show_forms)
      : inner_(platform::MakeDefaultWindowing()), settle_ms_(settle_ms), show_forms_(show_forms) {}
  void Yield() override { inner_->Yield(); }
  // The hourglass turns the spinner on, the default pointer off.
  void SetMousePointer(int pointer) override {
    inner_->SetMousePointer(pointer);
    if (pointer == platform::kHourglassPointer) {
      spinner_.Start();
    } else {
      spinner_.Stop();
    }
  }
  void Sleep(int) override { std::this_thread::sleep_for(std::chrono::milliseconds(settle_ms_)); }
  void ShowModal(ui::FrmError& form) override {
    spinner_.Stop();  // the form has the terminal to itself
    if (show_forms_) {
      inner_->ShowModal(form);
    } else {
      form.ClickOkButton();
    }
  }

 private:
  Spinner spinner_;
  std::shared_ptr<platform::Windowing> inner_;
  int settle_ms_;
  bool show_forms_;
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
  // Every value that needs no file first, then the files.
  RunValues values = CheckRunValues(options, options.user.value_or(LoginName()));
  CheckedRun run{{}, std::move(values.user), values.rent_date, values.search_date};
  if (options.server) {
    run.files.server = refhost::ServerCompany{ReadServerLogin(options.server_txt), *options.server,
                                              *values.year_start};
  } else {
    RequireFile("--company", options.company);
    run.files.current = std::filesystem::absolute(options.company);
    if (options.previous_year) {
      RequireFile("--previous-year", *options.previous_year);
      run.files.previous = std::filesystem::absolute(*options.previous_year);
    }
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
  if (options.all_parties) return run;
  try {
    refhost::ReferenceMasterLookup(company).CodeOf(options.party, HostMasterLookup::kParty);
  } catch (const DatabaseUnavailable& error) {
    // A dropped connection says nothing about whether the party exists.
    throw RunError(error.what());
  } catch (const Error&) {
    throw CommandLineError("--party: no party '" + options.party + "' in Master1 of " +
                           company->name());
  }
  return run;
}

void PrintReport(const RunReport& report,
                 const refhost::ReferenceHostApplication::StatementsSent& host_sent,
                 std::ostream& err) {
  for (const SkippedStep& step : report.skipped) {
    err << "rnt0417: skipped: " << step.step << ": " << step.failure << "\n";
  }
  for (const std::string& note : report.notes) err << "rnt0417: " << note << "\n";
  err << "rnt0417: statements sent: add-on " << report.statements_sent << ", host current year "
      << host_sent.current_year << ", host previous year " << host_sent.previous_year << "\n";
}

// A file name for a party's statement: letters and digits of the name kept,
// anything else "_", and the format's extension.
std::string StatementFileName(const std::string& party, StatementFormat format) {
  std::string name;
  for (unsigned char c : party) name += std::isalnum(c) || c == '-' ? static_cast<char>(c) : '_';
  switch (format) {
    case StatementFormat::kCsv:
      return name + ".csv";
    case StatementFormat::kJson:
      return name + ".json";
    case StatementFormat::kHtml:
      return name + ".html";
    default:
      return name + ".txt";
  }
}

// How one party's run ended, and its statement when it finished.
struct PartyRun {
  int status = kRunFinished;
  std::string reason;
  Statement statement;
};

// One rent run made the way the host makes it: parameters file, Start, the
// user's lines read back.
PartyRun RunParty(const CheckedRun& run, const RunOptions& options, const std::string& party,
                  const AddonLibrary& library, std::ostream& err) {
  RunFolder folder;
  if (run.files.server) {
    // The add-on reads the server's login from its own folder.
    std::ofstream(folder.path() / "Server.Txt") << run.files.server->login.line << "\r\n";
  }
  refhost::WriteParametersFile(folder.path(), run.user, ShortDateText(run.rent_date), party,
                               ShortDateText(run.search_date));

  auto host = std::make_shared<refhost::ReferenceHostApplication>(run.user, run.files);
  HostServices services;
  services.components = std::make_shared<refhost::ReferenceComponentFactory>(run.files);
  services.windowing = std::make_shared<CommandLineWindowing>(
      options.settle_ms, !options.all_parties && isatty(STDOUT_FILENO) != 0);
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
  if (options.show_report) PrintReport(report, host->TakeStatementsSent(), err);

  if (report.refusal) return {kRentDateRefused, "Invalid Data !! " + *report.refusal, {}};
  if (const SkippedStep* failure = report.FirstDatabaseFailure()) {
    std::string reason = failure->step + ": " + failure->failure;
    if (report.lines_dropped > 0) {
      reason +=
          "; none of the run's " + std::to_string(report.lines_dropped) + " rent lines was saved";
    }
    return {kRunNotMade, std::move(reason), {}};
  }
  Statement statement{party, ShortDateText(run.rent_date), run.user, {}, {}};
  if (!IsStreamed(ParseStatementFormat(options.format))) {
    // The table and the HTML file group the lines by item, so they read them
    // all; CSV and JSON read them as they are written out.
    refhost::YearFile company(run.files.CurrentYear());
    statement.lines = refhost::ReadRentLines(company.Connection(), run.user);
    statement.item_names = refhost::ItemNames(company.Connection());
  }
  return {kRunFinished, "", std::move(statement)};
}

// Prints the statement of a finished run, reading the user's lines from the
// work table as they are written out when the format allows; gives the
// statement's grand total when `grand_total` is asked for.
void Emit(const CheckedRun& run, const Statement& statement, StatementFormat format,
          const std::optional<std::filesystem::path>& file, std::ostream& out,
          double* grand_total = nullptr) {
  std::ofstream written;
  if (file) {
    written.open(*file);
    if (!written) throw RunError("cannot write " + file->string());
  }
  std::ostream& to = file ? written : out;
  if (!IsStreamed(format)) {
    PrintStatement(statement, format, to);
    if (grand_total) *grand_total = GrandTotal(statement);
    return;
  }
  refhost::YearFile company(run.files.CurrentYear());
  StreamedStatement streamed(format, to);
  refhost::ForEachRentLine(company.Connection(), run.user,
                           [&streamed](const refhost::RentLine& line) { streamed.Add(line); });
  streamed.Finish();
  if (grand_total) *grand_total = streamed.grand_total();
}

// Every party with movements, one after the other; a failing party is
// reported and skipped.
int RunAllParties(const CheckedRun& run, const RunOptions& options, StatementFormat format,
                  const AddonLibrary& library, std::ostream& out, std::ostream& err) {
  std::vector<std::string> parties = refhost::PartiesWithMovements(run.files, run.rent_date);
  if (options.output_dir) std::filesystem::create_directories(*options.output_dir);
  Progress progress(parties.size(), err);
  int billed = 0, refused = 0, failed = 0;
  double grand_total = 0;
  for (const std::string& party : parties) {
    PartyRun result;
    try {
      result = RunParty(run, options, party, library, err);
    } catch (const std::exception& error) {
      result = {kRunNotMade, error.what(), {}};
    }
    if (result.status == kRunFinished) {
      ++billed;
      std::optional<std::filesystem::path> file;
      if (options.output_dir) file = *options.output_dir / StatementFileName(party, format);
      if (!file) out << "== " << party << "\n";
      double total = 0;
      Emit(run, result.statement, format, file, out, &total);
      grand_total += total;
    } else {
      ++(result.status == kRentDateRefused ? refused : failed);
      progress.Clear();
      err << "rnt0417: " << party << ": " << result.reason << "\n";
    }
    progress.Advance();
  }
  progress.Clear();
  err << "parties billed: " << billed << ", refused: " << refused << ", failed: " << failed
      << "; grand total: " << TwoDecimalText(grand_total) << "\n";
  return failed > 0 ? kRunNotMade : kRunFinished;
}

int Run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  StatementFormat format = ParseStatementFormat(options.format);
  CheckedRun run = Check(options);
  AddonLibrary library(AddonLibrary::NextToProgram());
  if (options.all_parties) return RunAllParties(run, options, format, library, out, err);

  PartyRun result = RunParty(run, options, options.party, library, err);
  if (result.status == kRentDateRefused) {
    err << "rnt0417: " << result.reason << "\n";
    return kRentDateRefused;
  }
  if (result.status != kRunFinished) throw RunError(result.reason);
  Emit(run, result.statement, format, options.output, out);
  return kRunFinished;
}

// Runs one command and gives its exit status: a wrong command line is 2 and a
// failure 1, each said in one line on `err`; `not_done` says what failed.
template <typename Command>
int ExitStatusOf(std::ostream& err, std::string_view not_done, Command&& command) {
  try {
    return command();
  } catch (const CommandLineError& error) {
    err << "rnt0417: " << error.what() << "\n";
    return kBadCommandLine;
  } catch (const std::exception& error) {
    err << "rnt0417: " << not_done << ": " << error.what() << "\n";
    return kRunNotMade;
  }
}

}  // namespace

int PostRentVoucher(const PostOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the rent voucher could not be posted", [&] {
    auto [rent_date, user] = CheckPostValues(options, options.user.value_or(LoginName()));
    RequireFile("--company", options.company);
    auto company = std::make_shared<refhost::YearFile>(std::filesystem::absolute(options.company),
                                                       refhost::YearFile::Indexes::kLeaveAsIs);
    try {
      company->Connection();
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    int32_t party = 0;
    try {
      party =
          refhost::ReferenceMasterLookup(company).CodeOf(options.party, HostMasterLookup::kParty);
    } catch (const DatabaseUnavailable& error) {
      throw RunError(error.what());
    } catch (const Error&) {
      throw CommandLineError("--party: no party '" + options.party + "' in Master1 of " +
                             company->name());
    }
    int32_t voucher = 0;
    try {
      voucher = refhost::PostRentVoucher(company->Connection(), party, rent_date, user);
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error& error) {
      err << "rnt0417: not posted: " << error.what() << "\n";
      return kRentDateRefused;
    }
    out << "posted rent voucher " << voucher << " of " << options.party << " on "
        << ShortDateText(rent_date) << "\n";
    return kRunFinished;
  });
}

int CopyCompany(const CopyOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the company could not be copied", [&] {
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
  });
}

std::string LoginName() {
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return "user";
}

int RunRentRun(const RunOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the run could not be made", [&] { return Run(options, out, err); });
}

}  // namespace rnt::cli
