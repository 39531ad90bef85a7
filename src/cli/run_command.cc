#include "cli/run_command.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "cli/addon_library.h"
#include "cli/billing_checks.h"
#include "cli/company_years.h"
#include "cli/earlier_year.h"
#include "cli/exit_status.h"
#include "cli/party_lookup.h"
#include "cli/progress.h"
#include "cli/run_values.h"
#include "cli/spinner.h"
#include "cli/statement_format.h"
#include "cli/statement_items.h"
#include "platform/addon_files.h"
#include "refhost/company_files.h"
#include "refhost/company_info.h"
#include "refhost/company_settings.h"
#include "refhost/components.h"
#include "refhost/host_application.h"
#include "refhost/marked_pieces.h"
#include "refhost/master_names.h"
#include "refhost/parameters_file.h"
#include "refhost/parties.h"
#include "refhost/posted_vouchers.h"
#include "refhost/rent_lines.h"
#include "refhost/rent_voucher.h"
#include "refhost/server_copy.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "ui/frm_error.h"

namespace rnt::cli {
namespace {

// The default window system, with the pause inside Start as the user set it.
class CommandLineWindowing : public platform::Windowing {
 public:
  // Forms are shown only to a user at a terminal; otherwise the refusal is
  // reported on standard error, and piped output holds nothing but results.
  CommandLineWindowing(int settle_ms, bool show_forms, StatusLine& status)
      : spinner_(status),
        inner_(platform::MakeDefaultWindowing()),
        settle_ms_(settle_ms),
        show_forms_(show_forms) {}
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

// The values of the run, checked: the dates are dates, the files exist, the
// user name can name a file, the party is a party of the company.
struct CheckedRun {
  refhost::CompanyData company;  // its years, each reached by one connection
  std::string user;
  Date rent_date;
  Date search_date;
  refhost::Party party;     // the one party named, as Master1 names it
  PostedVouchers vouchers;  // of the party named, or of every party
  // What is missing when the year before the current one is not at hand and
  // the clerk did not say the company has none: its material goes unbilled.
  std::optional<std::string> earlier_year_missing;
};

CheckedRun Check(const RunOptions& options, std::ostream& err) {
  // Every value that needs no file first, then the files.
  RunValues values = CheckRunValues(options, options.user.value_or(LoginName()));
  CheckedRun run{FindCompanyYears(options, values.year_start, values.rent_date, err),
                 std::move(values.user),
                 values.rent_date,
                 values.search_date,
                 {},
                 {},
                 {}};
  // Nothing is written before every value is known good: the years get their
  // indexes only when the run starts.
  if (!options.all_parties) run.party = LookUpParty(run.company.current(), options.party);
  try {
    run.vouchers = FindPostedVouchers(
        run.company, run.search_date,
        options.all_parties ? std::nullopt : std::optional<std::int32_t>(run.party.code));
  } catch (const Error& error) {
    throw RunError(error.what());
  }
  run.earlier_year_missing = CheckEarlierYear(run.company, options.first_year, err);
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
  std::optional<Statement> statement;
  // The rent voucher that bills the rent date already, when that refused it.
  std::optional<refhost::PostedRentVoucher> billed_by = std::nullopt;
  bool negative_balances = false;
};

// What the statement of a finished run of the party says besides its lines,
// from the host's tables, and for the table and the HTML file the lines
// themselves: they group the lines by item, so they read them all, while CSV
// and JSON read them as they are written out.
Statement ReadStatement(const CheckedRun& run, const std::string& party, StatementFormat format) {
  const std::shared_ptr<refhost::YearFile>& company = run.company.current();
  db::Connection& connection = company->Connection();
  const int32_t code =
      refhost::ReferenceMasterLookup(company).CodeOf(party, HostMasterLookup::kParty);
  Statement statement{
      {{}, refhost::PartyName(connection, code), run.rent_date.AddDays(-1), {}, {}, {}},
      {},
      refhost::ItemNames(connection),
      {}};
  if (IsStreamed(format)) return statement;
  statement.header.company = refhost::ReadCompanyInfo(connection);
  // The rule the run counted the days by, read from at_ILC as the run read it.
  statement.header.day_rule = refhost::BilledDayRule(connection);
  if (auto voucher = run.vouchers.continued_from.find(code);
      voucher != run.vouchers.continued_from.end()) {
    statement.header.continued_from = voucher->second;
  }
  statement.lines = refhost::ReadRentLines(connection, run.user);
  statement.marked_pieces = refhost::ReadMarkedPieces(connection, code, FirstDayBilled(statement),
                                                      statement.header.closing_day);
  return statement;
}

// Reads what a finished run saved; a failure there is no failure of the run,
// whose lines stay saved, and says so.
template <typename Read>
auto AfterTheRun(Read&& read) {
  try {
    return read();
  } catch (const std::exception& error) {
    throw ReadBackError(error.what());
  }
}

// One rent run made the way the host makes it: parameters file, Start, the
// user's lines read back.
PartyRun RunParty(const CheckedRun& run, const RunOptions& options, const std::string& party,
                  const AddonLibrary& library, StatusLine& status, std::ostream& err) {
  RunFolder folder;
  const refhost::CompanyFiles& files = run.company.files();
  if (files.server) {
    // The add-on reads the server's login from its own folder.
    std::ofstream(folder.path() / "Server.Txt") << files.server->login.line << "\r\n";
  }
  refhost::WriteParametersFile(folder.path(), run.user, ShortDateText(run.rent_date), party,
                               ShortDateText(run.search_date));

  // The run is about to start: every value has been checked.
  run.company.AddIndexes();
  auto host = std::make_shared<refhost::ReferenceHostApplication>(run.user, run.company);
  // The statements counted are the run's: not those of the checks or of the
  // parties billed before it, sent over the same connections.
  host->TakeStatementsSent();
  HostServices services;
  services.components = std::make_shared<refhost::ReferenceComponentFactory>(run.company);
  services.windowing = std::make_shared<CommandLineWindowing>(
      options.settle_ms, !options.all_parties && isatty(STDOUT_FILENO) != 0, status);
  services.addon_folder = folder.path();
  library.SetHostServices(services);
  RunReport report;
  {
    AddonLibrary::Object addon = library.Create("IKoraWin");
    Collection p_data = refhost::MakeActivationData(files, host);
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
  return {kRunFinished, "", AfterTheRun([&] {
            return ReadStatement(run, party, ParseStatementFormat(options.format));
          })};
}

// Writes the user's rent lines of a finished run into a CSV or JSON
// document as they are read from the work table.
void AddLines(const CheckedRun& run, const Statement& statement, StreamedStatement& document) {
  AfterTheRun([&] {
    refhost::ForEachRentLine(
        run.company.current()->Connection(), run.user,
        [&](const refhost::RentLine& line) { document.Add(line, statement.header.party); });
  });
}

// One party billed: refused before its run when its rent is billed up to the
// rent date already, else its run, with a warning for challans changed after
// the rent voucher it goes on from, for balances that go negative and for
// lost or damaged pieces that are charged nothing.
PartyRun BillParty(const CheckedRun& run, const RunOptions& options, const refhost::Party& party,
                   const AddonLibrary& library, StatusLine& status, std::ostream& err) {
  if (std::optional<refhost::PostedRentVoucher> voucher =
          BilledAlready(run.vouchers, party, run.rent_date, run.search_date, err)) {
    return {kRentDateRefused, AlreadyBilledText(party.name, *voucher), {}, voucher};
  }
  // Without the year before, its challans cannot be weighed against a voucher
  // (the bill has said so already).
  if (!run.earlier_year_missing) WarnOfChangedChallans(run.company, run.vouchers, party, err);
  PartyRun result = RunParty(run, options, party.name, library, status, err);
  if (result.status == kRunFinished) {
    result.negative_balances =
        AfterTheRun([&] { return WarnOfNegativeBalances(run.company, run.user, party.name, err); });
    AfterTheRun([&] { WarnOfUnchargedPieces(run.company, run.user, party.name, err); });
  }
  return result;
}

// Prints the statement of a finished run, reading the user's lines from the
// work table as they are written out when the format allows; gives the
// statement's grand total when `grand_total` is asked for.
void Emit(const CheckedRun& run, const Statement& statement, StatementFormat format,
          const std::optional<std::filesystem::path>& file, std::ostream& out,
          Hundredths* grand_total = nullptr) {
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
  StreamedStatement streamed(format, to, statement.item_names);
  AddLines(run, statement, streamed);
  streamed.Finish();
  if (grand_total) *grand_total = streamed.grand_total();
}

// Every party with movements, one after the other; a failing party is
// reported and skipped.
int RunAllParties(const CheckedRun& run, const RunOptions& options, StatementFormat format,
                  const AddonLibrary& library, StatusLine& status, std::ostream& out,
                  std::ostream& err) {
  std::vector<refhost::Party> parties = refhost::PartiesWithMovements(run.company, run.rent_date);
  if (options.output_dir) std::filesystem::create_directories(*options.output_dir);
  // CSV and JSON on standard output make one document of every party's lines.
  std::optional<StreamedStatement> document;
  if (IsStreamed(format) && !options.output_dir) {
    document.emplace(format, out, refhost::ItemNames(run.company.current()->Connection()));
  }
  Progress progress(parties.size(), status);
  int billed = 0, refused = 0, failed = 0;
  Hundredths grand_total = 0;  // the sum of the statements' printed grand totals
  for (const refhost::Party& party : parties) {
    PartyRun result;
    try {
      result = BillParty(run, options, party, library, status, err);
    } catch (const std::exception& error) {
      result = {kRunNotMade, error.what(), {}};
    }
    if (result.status == kRunFinished) {
      ++billed;
      if (document) {
        AddLines(run, *result.statement, *document);
      } else {
        std::optional<std::filesystem::path> file;
        if (options.output_dir) file = *options.output_dir / StatementFileName(party.name, format);
        if (!file) out << "== " << result.statement->header.party << "\n";
        Hundredths total = 0;
        Emit(run, *result.statement, format, file, out, &total);
        grand_total += total;
      }
    } else {
      ++(result.status == kRentDateRefused ? refused : failed);
      status.Clear();
      // A refusal names the party itself.
      err << "rnt0417: " << (result.billed_by ? "" : party.name + ": ") << result.reason << "\n";
    }
    progress.Advance();
  }
  status.Clear();
  if (document) {
    document->Finish();
    grand_total = document->grand_total();
  }
  err << "parties billed: " << billed << ", refused: " << refused << ", failed: " << failed
      << "; grand total: " << HundredthsText(grand_total) << "\n";
  return failed > 0 ? kRunNotMade : kRunFinished;
}

int Run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  StatementFormat format = ParseStatementFormat(options.format);
  CheckedRun run = Check(options, err);
  AddonLibrary library(AddonLibrary::NextToProgram());
  StatusLine status;
  if (options.all_parties) return RunAllParties(run, options, format, library, status, out, err);

  PartyRun result = BillParty(run, options, run.party, library, status, err);
  if (result.status == kRentDateRefused) {
    // The message form's words, then the same said plainly.
    if (result.billed_by) err << "rnt0417: " << RefusalFormText(*result.billed_by) << "\n";
    err << "rnt0417: " << result.reason << "\n";
    return kRentDateRefused;
  }
  if (result.status != kRunFinished) throw RunError(result.reason);
  Emit(run, *result.statement, format, options.output, out);
  return kRunFinished;
}

}  // namespace

int PostRentVoucher(const RunOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the rent voucher could not be posted", [&] {
    RunOptions post = options;
    post.format = "table";  // the run's lines are read back, to be posted
    CheckedRun run = Check(post, err);
    const StatementFormat format = ParseStatementFormat(options.format);
    AddonLibrary library(AddonLibrary::NextToProgram());
    StatusLine status;
    auto not_posted = [&err](const std::string& reason) {
      err << "rnt0417: not posted: " << reason << "\n";
      return kRentDateRefused;
    };
    // A voucher carries its bill forward: a short bill is not made at all.
    if (run.earlier_year_missing) {
      return not_posted(*run.earlier_year_missing + ": the bill of " + run.party.name +
                        " would leave out what it held when the year began; give --first-year "
                        "if the company has no earlier year");
    }
    PartyRun result = BillParty(run, post, run.party, library, status, err);
    if (result.status == kRentDateRefused) return not_posted(result.reason);
    if (result.status != kRunFinished) throw RunError(result.reason);
    if (result.negative_balances) {
      return not_posted("balances of " + run.party.name +
                        " go below nothing (see above); a voucher would carry them forward");
    }
    const Date closing_date = run.rent_date.AddDays(-1);
    int32_t voucher = 0;
    try {
      voucher = refhost::PostRentVoucher(run.company, run.party.code, closing_date,
                                         result.statement->lines);
    } catch (const refhost::AlreadyBilled& billed) {
      // Posted by someone else since the run began.
      return not_posted(AlreadyBilledText(run.party.name, billed.voucher()));
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error& error) {
      return not_posted(run.party.name + ": " + error.what());
    }
    // The statement sent to the party carries the number it was posted as.
    result.statement->header.posted_as = refhost::PostedRentVoucher{voucher, closing_date};
    Emit(run, *result.statement, format, options.output, out);
    err << "rnt0417: posted rent voucher " << voucher << " for " << run.party.name
        << ": rent billed up to " << ShortDateText(closing_date) << "; the next run goes on from "
        << ShortDateText(run.rent_date) << "\n";
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
