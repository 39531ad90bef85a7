#include "engine/rent_run.h"

#include "engine/queries.h"
#include "engine/run_parameters.h"
#include "host/skipped_step.h"
#include "rnt/error.h"

namespace rnt::engine {

void RunRent(host::CompanyContext& context) {
  RunReport& report = context.report;
  host::Attempt(
      report, "clear the user's rent lines",
      [&] {
        if (!context.connection) throw Error("there is no connection to the company database");
        context.connection->Execute(queries::DeleteUserLines(context.user_name.ToText()));
      },
      host::StepKind::kDatabase);
  RunParameters parameters;
  host::Attempt(report, "read the parameters file",
                [&] { parameters = ReadParametersFile(context.AddonFolder(), context.user_name); });
  report.notes.push_back("no rent lines written: this build has no rent calculation yet");
}

}  // namespace rnt::engine
