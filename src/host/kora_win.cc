#include "host/kora_win.h"

#include "engine/rent_run.h"
#include "host/company_context.h"
#include "host/database_step.h"
#include "host/skipped_step.h"
#include "rnt/error.h"

namespace rnt::host {
namespace {

// The time Start waits between its second and third connection, so that the
// host's own reading of the rent lines settles.
constexpr int kSettleMilliseconds = 4000;

HostComponentFactory& Components(CompanyContext& context) {
  if (!context.services.components) throw Error("the host provides no closed components");
  return *context.services.components;
}

// A component the host made; a host that makes none fails the step.
template <typename Component>
std::unique_ptr<Component> Made(std::unique_ptr<Component> component, std::string_view name) {
  if (!component) throw Error("the host could not make its " + std::string(name) + " component");
  return component;
}

void YieldTwice(platform::Windowing& windowing) {
  windowing.Yield();
  windowing.Yield();
}

}  // namespace

void KoraWin::ActivateDB(Collection& p_Data) {
  CompanyContext& context = ThreadCompanyContext();
  RunReport activation;
  Attempt(activation, "make the company-info component", [&] {
    context.company_info = Made(Components(context).NewCompanyInfo(), "company-info");
  });
  Attempt(activation, "read the database type (item 6)",
          [&] { context.database_type = p_Data.Item(6).ToInt16(); });
  Attempt(activation, "tell the company-info component the database type", [&] {
    if (!context.company_info) throw Error("there is no company-info component");
    context.company_info->SetDatabaseType(context.database_type);
  });
  Attempt(activation, "attach p_Data to the company-info component", [&] {
    if (!context.company_info) throw Error("there is no company-info component");
    context.company_info->Attach(p_Data);
  });
  Attempt(activation, "take the host object (item 50)", [&] {
    const Variant& item = p_Data.Item(50);
    item.ToObject();  // only an object reference can be the host object
    context.host_object = item;
  });
  Attempt(activation, "read the company code (item 4)",
          [&] { context.company_code = p_Data.Item(4).ToText(); });
  if (context.database_type == 1) {
    Attempt(activation, "read the company file's name (item 5)", [&] {
      auto file = std::dynamic_pointer_cast<NamedObject>(p_Data.Item(5).ToObject());
      if (!file) throw Error("item 5 has no Name");
      std::string name = file->Name();
      context.company_code = name;
      context.database_path = name;
    });
  }
  context.activation_failures = std::move(activation.skipped);
}

void KoraWin::Start() {
  CompanyContext& context = ThreadCompanyContext();
  context.report = RunReport();
  context.report.skipped = context.activation_failures;
  platform::Windowing& windowing = context.windowing();
  try {
    YieldTwice(windowing);
    Attempt(context.report, "make the calendar component",
            [&] { context.calendar = Made(Components(context).NewCalendar(), "calendar"); });
    Attempt(context.report, "make the master-lookup component", [&] {
      context.master_lookup = Made(Components(context).NewMasterLookup(), "master-lookup");
    });
    Attempt(context.report, "make the year-probe component",
            [&] { context.year_probe = Made(Components(context).NewYearProbe(), "year-probe"); });
    RunDatabaseStep(context, DatabaseStepRole::kBeforeRun);
    windowing.SetMousePointer(platform::kHourglassPointer);
    YieldTwice(windowing);
    engine::RunRent(context);
    RunDatabaseStep(context, DatabaseStepRole::kAfterRun);
    windowing.SetMousePointer(platform::kHourglassPointer);
    YieldTwice(windowing);
    windowing.Sleep(kSettleMilliseconds);
    RunDatabaseStep(context, DatabaseStepRole::kAfterRun);
  } catch (const std::exception& error) {
    // Start returns normally whatever happened; the host reads the report.
    context.report.skipped.push_back({"Start", error.what(), false});
  }
  CountStatementsSent(context);
  windowing.SetMousePointer(platform::kDefaultPointer);
  YieldTwice(windowing);
}

const RunReport& KoraWin::LastRunReport() const { return ThreadCompanyContext().report; }

}  // namespace rnt::host
