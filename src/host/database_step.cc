#include "host/database_step.h"

#include <fstream>
#include <vector>

#include "core/text_util.h"
#include "db/work_table.h"
#include "host/skipped_step.h"
#include "platform/addon_files.h"
#include "rnt/error.h"

namespace rnt::host {
namespace {

// The password of the host's company files, the same for every company.
constexpr std::string_view kCompanyFilePassword = "QpTrnVaxLOKE";

std::string FirstLineOf(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw Error("cannot read " + file.string());
  std::string line;
  std::getline(in, line);
  return ServerTxtLine(line);
}

// The server route: Server.Txt names the server and the login, the company
// code and the financial year name the catalogue.
std::string ServerTextFor(CompanyContext& context) {
  RunReport& report = context.report;
  std::string line;
  Attempt(report, "read Server.Txt",
          [&] { line = FirstLineOf(context.AddonFolder() / platform::kServerFileName); });
  std::string year_digits;
  Attempt(report, "take the financial year's digits for the catalogue", [&] {
    if (!context.calendar) throw Error("the host provides no calendar component");
    std::string year_text = context.calendar->YearDate().ToText();
    year_digits = year_text.substr(year_text.size() < 2 ? 0 : year_text.size() - 2);
  });
  std::string text;
  Attempt(report, "build the server connection text", [&] {
    text = ServerConnectionText(line, CatalogueName(context.company_code, year_digits));
  });
  return text;
}

}  // namespace

std::string JetConnectionText(std::string_view database_path) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::string(database_path) +
         ";Jet OLEDB:Database Password=" + std::string(kCompanyFilePassword) + ";";
}

void RunDatabaseStep(CompanyContext& context, DatabaseStepRole role) {
  RunReport& report = context.report;
  Attempt(report, "ask the host for the user's name",
          [&] { context.user_name = context.HostApp()->GetCurrentUserName(); });

  if (!context.connection) context.connection = std::make_unique<db::Connection>();
  if (context.connection->State() == ObjectState::kOpen) {
    CountStatementsSent(context);
    context.connection->Close();
  }

  std::string text = context.database_type == 1 ? JetConnectionText(context.database_path)
                                                : ServerTextFor(context);
  StepKind kind = role == DatabaseStepRole::kBeforeRun ? StepKind::kDatabase : StepKind::kOrdinary;
  bool open = Attempt(
      report, "open the company database", [&] { context.connection->Open(text, "", ""); }, kind);
  if (!open) return;  // every statement would fail on a closed connection

  db::EnsureWorkTable(*context.connection);
  // A work table that lacks columns after its statements (one older than
  // they can mend, or a file that could not take them) cannot hold whole
  // rent lines: before the run, a failure that the run cannot be trusted after.
  Attempt(
      report, "make sure of the work table's columns",
      [&] {
        std::vector<db::ColumnInfo> columns = context.connection->backend()->TableColumns("atShut");
        std::string missing;
        for (std::string_view wanted : db::WorkTableColumns()) {
          bool found = false;
          for (const db::ColumnInfo& column : columns)
            found |= EqualsIgnoringCase(column.name, wanted);
          if (!found) missing += (missing.empty() ? "" : ", ") + std::string(wanted);
        }
        if (!missing.empty()) throw Error("the work table atShut lacks the columns " + missing);
      },
      kind);
}

void CountStatementsSent(CompanyContext& context) {
  if (!context.connection || context.connection->State() != ObjectState::kOpen) return;
  context.report.statements_sent += context.connection->backend()->TakeStatementsSent();
}

}  // namespace rnt::host
