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
#include "cli/kept_statement.h"
#include "cli/output_checks.h"
#include "cli/party_lookup.h"
#include "cli/progress.h"
#include "cli/run_values.h"
#include "cli/spinner.h"
#include "cli/statement_format.h"
#include "cli/statement_items.h"
#include "cli/statement_sheet.h"
#include "cli/user_lock.h"
#include "platform/addon_files.h"
#include "refhost/company_files.h"
#include "refhost/company_info.h"
#include "refhost/company_settings.h"
#include "refhost/components.h"
#include "refhost/day_challans.h"
#include "refhost/host_application.h"
#include "refhost/kept_bills.h"
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
  std::optional<Date> month_start;  // a calendar month asked for
  refhost::Party party;             // the one party named, as Master1 names it
  PostedVouchers vouchers;          // of the party named, or of every party
  // Held until the command ends: the user's other commands on the company wait.
  std::unique_ptr<UserLock> lock;
  // What is missing when the year before the current one is not at hand and
  // the clerk did not say the company has none: its material goes unbilled.
  std::optional<std::string> earlier_year_missing;
};

// The company's years that bill the rent date. A month or a last day that no
// year bills is said as the clerk typed it, with the rent date it makes.
refhost::CompanyData YearsBilling(const RunOptions& options, const RunValues& values,
                                  std::ostream& err) {
  try {
    return FindCompanyYears(options, values.year_start, values.rent_date, err);
  } catch (const CommandLineError& error) {
    const std::string what = error.what();
    if (options.rent_date || !what.starts_with("--rent-date: ")) throw;
    const std::string asked = options.month ? "--month " + *options.month : "--to " + *options.to;
    throw CommandLineError(asked + " (rent date " + ShortDateText(values.rent_date) +
                           "): " + what.substr(std::string_view("--rent-date: ").size()));
  }
}

CheckedRun Check(const RunOptions& options, std::ostream& err) {
  // Every value that needs no file first, then the files.
  RunValues values = CheckRunValues(options, options.user.value_or(LoginName()));
  if (options.output) RequireWritableFile("--output", *options.output);
  if (options.output_dir) RequireWritableFolder("--output-dir", *options.output_dir);
  CheckedRun run{YearsBilling(options, values, err),
                 std::move(values.user),
                 values.rent_date,
                 values.search_date,
                 values.month_start,
                 {},
                 {},
                 {},
                 {}};
  if (options.output) RequireNotCompanyFile("--output", *options.output, run.company.files());
  // The user's lines are the user's until the command ends: taken before the
  // vouchers are read, so that another window's post is seen.
  run.lock =
      LockUserCommands(run.company, run.user, std::chrono::seconds(options.wait_seconds), err);
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

// Days billed that have not happened yet: the closing date is after today.
std::optional<std::string> FutureDays(const CheckedRun& run) {
  const Date closing_date = run.rent_date.AddDays(-1), today = Today();
  if (closing_date <= today) return std::nullopt;
  return "the rent date " + ShortDateText(run.rent_date) + " bills days up to " +
         ShortDateText(closing_date) + ", after today (" + ShortDateText(today) +
         "): they have not happened yet";
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

// The previous year's data, when the company has it; null without it.
db::Connection* PreviousYear(const CheckedRun& run) {
  if (!run.company.previous()) return nullptr;
  try {
    return &run.company.previous()->Connection();
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    return nullptr;  // on the server the year before's catalogue is named whether it exists or not
  }
}

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
      {{}, refhost::PartyName(connection, code), run.rent_date.AddDays(-1), {}, {}, {}, {}},
      {},
      refhost::ItemNames(connection),
      {},
      {}};
  statement.header.month_start = run.month_start;
  if (IsStreamed(format)) return statement;
  statement.header.company = refhost::ReadCompanyInfo(connection);
  // The rule the run counted the days by, read from at_ILC as the run read it.
  statement.header.day_rule = refhost::BilledDayRule(connection);
  statement.header.amount_grouping = refhost::PrintedAmountGrouping(connection);
  if (auto voucher = run.vouchers.continued_from.find(code);
      voucher != run.vouchers.continued_from.end()) {
    statement.header.continued_from = voucher->second;
  }
  statement.lines = refhost::ReadRentLines(connection, run.user);
  const Date first = FirstDayBilled(statement);
  const Date last = statement.header.closing_day;
  // A period that began in the previous year has challans and marked pieces there.
  db::Connection* previous = PreviousYear(run);
  statement.marked_pieces = refhost::ReadMarkedPieces(connection, code, first, last, previous);
  if (previous) refhost::ReadDayChallans(*previous, code, first, last, statement.day_challans);
  refhost::ReadDayChallans(connection, code, first, last, statement.day_challans);
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
        [&](const refhost::RentLine& line) { document.Add(line, statement.header.party); },
        refhost::LineOrder::kByItem);
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

// Where a batch's statements go: CSV and JSON on standard output make one
// document of every party's lines, a sheet one sheet; otherwise a file per
// party in the output folder (names made unique), or one statement after
// another under its party's name.
class BatchStatements {
 public:
  BatchStatements(const CheckedRun& run, const RunOptions& options, StatementFormat format,
                  std::ostream& out)
      : run_(run), output_dir_(options.output_dir), format_(format), out_(out) {
    if (output_dir_) {
      std::error_code error;
      std::filesystem::create_directories(*output_dir_, error);
      if (error) {
        throw RunError("cannot make the folder " + output_dir_->string() + ": " + error.message());
      }
    }
    if (IsStreamed(format) && !output_dir_) {
      document_.emplace(format, out, refhost::ItemNames(run.company.current()->Connection()));
    }
  }

  // Writes one party's statement; throws when it cannot be written.
  void Write(const refhost::Party& party, const Statement& statement) {
    if (document_) {
      AddLines(run_, statement, *document_);
    } else {
      std::optional<std::filesystem::path> file;
      if (output_dir_) file = *output_dir_ / file_names_.Take(party.name, format_);
      Hundredths total = 0;
      if (!file && format_ == StatementFormat::kSheet) {
        // One sheet of every party's rows, told apart by their Party.
        PrintSheet(statement, out_, written_ == 0);
        total = GrandTotal(statement);
      } else {
        if (!file) out_ << "== " << statement.header.party << "\n";
        Emit(run_, statement, format_, file, out_, &total);
      }
      grand_total_ += total;
    }
    ++written_;
  }

  // Ends the document; the sum of the printed grand totals written, as printed.
  std::string Finish() {
    if (document_) {
      document_->Finish();
      grand_total_ = document_->grand_total();
    }
    return HundredthsText(grand_total_,
                          refhost::PrintedAmountGrouping(run_.company.current()->Connection()));
  }

 private:
  const CheckedRun& run_;
  std::optional<std::filesystem::path> output_dir_;
  StatementFormat format_;
  std::ostream& out_;
  std::optional<StreamedStatement> document_;
  StatementFileNames file_names_;
  int written_ = 0;
  Hundredths grand_total_ = 0;
};

// Every party with movements, one after the other; a failing party is
// reported and skipped.
int RunAllParties(const CheckedRun& run, const RunOptions& options, StatementFormat format,
                  const AddonLibrary& library, StatusLine& status, std::ostream& out,
                  std::ostream& err) {
  std::vector<refhost::Party> parties = refhost::PartiesWithMovements(run.company, run.rent_date);
  BatchStatements statements(run, options, format, out);
  Progress progress(parties.size(), status);
  int billed = 0, refused = 0, failed = 0;
  for (const refhost::Party& party : parties) {
    PartyRun result;
    try {
      result = BillParty(run, options, party, library, status, err);
    } catch (const std::exception& error) {
      result = {kRunNotMade, error.what(), {}};
    }
    if (result.status == kRunFinished) {
      try {
        statements.Write(party, *result.statement);
        ++billed;  // its statement is written
      } catch (const std::exception& error) {
        result = {kRunNotMade, std::string("its statement was not written: ") + error.what(), {}};
      }
    }
    if (result.status != kRunFinished) {
      ++(result.status == kRentDateRefused ? refused : failed);
      status.Clear();
      // A refusal names the party itself.
      err << "rnt0417: " << (result.billed_by ? "" : party.name + ": ") << result.reason << "\n";
    }
    progress.Advance();
  }
  status.Clear();
  const std::string grand_total = statements.Finish();
  err << "parties billed: " << billed << ", refused: " << refused << ", failed: " << failed
      << "; grand total: " << grand_total << "\n";
  // The worst that happened to any party: a failure, else a refusal.
  return failed > 0 ? kRunNotMade : refused > 0 ? kRentDateRefused : kRunFinished;
}

// How one party's post ended, and the statement it posted.
struct PartyPost {
  enum Outcome { kPosted, kNothingToBill, kRefused, kFailed };
  Outcome outcome = kPosted;
  std::string reason;       // why it was not posted
  bool names_party = true;  // whether the reason names the party already
  std::optional<Statement> statement = std::nullopt;
  int32_t voucher = 0;
};

// The party's run for the rent date, its lines recorded as its rent voucher
// in one transaction, or nothing posted and the reason.
PartyPost PostParty(const CheckedRun& run, const RunOptions& post, const refhost::Party& party,
                    const AddonLibrary& library, StatusLine& status, std::ostream& err) {
  PartyRun result = BillParty(run, post, party, library, status, err);
  if (result.status == kRentDateRefused) {
    return {PartyPost::kRefused, result.reason, result.billed_by.has_value()};
  }
  if (result.status != kRunFinished) return {PartyPost::kFailed, result.reason, false};
  if (result.negative_balances) {
    return {PartyPost::kRefused, "balances of " + party.name +
                                     " go below nothing (see above); a voucher would carry them "
                                     "forward"};
  }
  const Date closing_date = run.rent_date.AddDays(-1);
  if (result.statement->lines.empty()) {
    return {PartyPost::kNothingToBill, party.name + ": the run made no rent lines up to " +
                                           ShortDateText(closing_date) +
                                           ": there is nothing to bill"};
  }
  int32_t voucher = 0;
  try {
    // The bill is kept with its voucher, as printed, to be printed again.
    voucher = refhost::PostRentVoucher(
        run.company, party.code, closing_date, result.statement->lines, [&](int32_t code) {
          refhost::KeepBill(run.company.current()->Connection(),
                            KeptBillOf(*result.statement, code, party.code, LocalTimeNow()));
        });
  } catch (const refhost::AlreadyBilled& billed) {
    // Posted by someone else since the run began.
    return {PartyPost::kRefused, AlreadyBilledText(party.name, billed.voucher())};
  } catch (const DatabaseUnavailable& failure) {
    return {PartyPost::kFailed, failure.what(), false};
  } catch (const Error& error) {
    return {PartyPost::kRefused, party.name + ": " + error.what()};
  }
  // The statement sent to the party carries the number it was posted as.
  result.statement->header.posted_as = refhost::PostedRentVoucher{voucher, closing_date};
  return {PartyPost::kPosted, "", true, std::move(result.statement), voucher};
}

// What a post recorded, for standard error.
std::string PostedText(const CheckedRun& run, const refhost::Party& party, int32_t voucher) {
  return "posted rent voucher " + std::to_string(voucher) + " for " + party.name +
         ": rent billed up to " + ShortDateText(run.rent_date.AddDays(-1));
}

// Every party with movements posted on its own, one after the other: a party
// refused or failing leaves nothing posted of its own and does not stop the
// others. The exit status is the worst that happened to any party: a failure,
// else a refusal.
int PostAllParties(const CheckedRun& run, const RunOptions& post, StatementFormat format,
                   const AddonLibrary& library, StatusLine& status, std::ostream& out,
                   std::ostream& err) {
  std::vector<refhost::Party> parties = refhost::PartiesWithMovements(run.company, run.rent_date);
  BatchStatements statements(run, post, format, out);
  Progress progress(parties.size(), status);
  int posted = 0, idle = 0;
  std::vector<std::string> refused, failed;  // each with its reason
  for (const refhost::Party& party : parties) {
    PartyPost result;
    try {
      result = PostParty(run, post, party, library, status, err);
    } catch (const std::exception& error) {
      result = {PartyPost::kFailed, error.what(), false};
    }
    status.Clear();
    if (result.outcome == PartyPost::kPosted) {
      ++posted;
      err << "rnt0417: " << PostedText(run, party, result.voucher) << "\n";
      try {
        statements.Write(party, *result.statement);
      } catch (const std::exception& error) {
        // The voucher stands; only its statement is to be printed again.
        failed.push_back(party.name + ": posted as rent voucher " + std::to_string(result.voucher) +
                         ", but its statement could not be written: " + error.what());
        err << "rnt0417: " << failed.back() << "\n";
      }
    } else if (result.outcome == PartyPost::kNothingToBill) {
      ++idle;
    } else {
      std::vector<std::string>& list = result.outcome == PartyPost::kRefused ? refused : failed;
      list.push_back((result.names_party ? "" : party.name + ": ") + result.reason);
      err << "rnt0417: not posted: " << list.back() << "\n";
    }
    progress.Advance();
  }
  status.Clear();
  const std::string grand_total = statements.Finish();
  err << "parties posted: " << posted << ", nothing to bill: " << idle
      << ", refused: " << refused.size() << ", failed: " << failed.size()
      << "; grand total: " << grand_total << "\n";
  for (const std::string& reason : refused) err << "  refused: " << reason << "\n";
  for (const std::string& reason : failed) err << "  failed: " << reason << "\n";
  return !failed.empty() ? kRunNotMade : !refused.empty() ? kRentDateRefused : kRunFinished;
}

int Run(const RunOptions& options, std::ostream& out, std::ostream& err) {
  StatementFormat format = ParseStatementFormat(options.format);
  CheckedRun run = Check(options, err);
  if (std::optional<std::string> future = FutureDays(run))
    err << "rnt0417: warning: " << *future << "\n";
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
  return ExitStatusOf(err, "the rent voucher could not be posted", [&]() -> int {
    RunOptions post = options;
    post.format = "table";  // the run's lines are read back, to be posted
    CheckedRun run = Check(post, err);
    const StatementFormat format = ParseStatementFormat(options.format);
    // A voucher says the days it bills are over.
    if (std::optional<std::string> future = FutureDays(run)) {
      err << "rnt0417: not posted: " << *future << "; post once they have passed\n";
      return kRentDateRefused;
    }
    AddonLibrary library(AddonLibrary::NextToProgram());
    StatusLine status;
    // A voucher carries its bill forward: a short bill is not made at all.
    if (run.earlier_year_missing) {
      err << "rnt0417: not posted: " << *run.earlier_year_missing << ": "
          << (options.all_parties ? "the parties' bills" : "the bill of " + run.party.name)
          << " would leave out what was held when the year began; give --first-year if the "
             "company has no earlier year\n";
      return kRentDateRefused;
    }
    if (options.all_parties) return PostAllParties(run, post, format, library, status, out, err);
    PartyPost result = PostParty(run, post, run.party, library, status, err);
    if (result.outcome == PartyPost::kFailed) throw RunError(result.reason);
    if (result.outcome != PartyPost::kPosted) {
      err << "rnt0417: not posted: " << result.reason << "\n";
      return kRentDateRefused;
    }
    const std::string posted = PostedText(run, run.party, result.voucher);
    try {
      Emit(run, *result.statement, format, options.output, out);
    } catch (const std::exception& error) {
      // The voucher stands: never said to be not posted.
      err << "rnt0417: " << posted << ", but its statement was not written: " << error.what()
          << "\n";
      return kRunNotMade;
    }
    err << "rnt0417: " << posted << "; the next run goes on from " << ShortDateText(run.rent_date)
        << "\n";
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
