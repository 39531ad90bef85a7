#include "host/company_context.h"

#include "platform/addon_files.h"
#include "rnt/error.h"

namespace rnt::host {
namespace {

// The one piece of mutable state that outlives a call: one context per host
// thread, as the host calls the add-on from its user-interface thread.
thread_local std::unique_ptr<CompanyContext> thread_context;

}  // namespace

std::shared_ptr<HostApplication> CompanyContext::HostApp() const {
  if (host_object.type() != VariantType::kObject) {
    throw Error("the host gave no host object (item 50): " + Describe(host_object));
  }
  auto application = std::dynamic_pointer_cast<HostApplication>(host_object.ToObject());
  if (!application) throw Error("item 50 is not the host's application object");
  return application;
}

platform::Windowing& CompanyContext::windowing() {
  if (services.windowing) return *services.windowing;
  if (!default_windowing_) default_windowing_ = platform::MakeDefaultWindowing();
  return *default_windowing_;
}

std::filesystem::path CompanyContext::AddonFolder() const {
  return services.addon_folder.empty() ? platform::LibraryFolder() : services.addon_folder;
}

CompanyContext& ThreadCompanyContext() {
  if (!thread_context) thread_context = std::make_unique<CompanyContext>();
  return *thread_context;
}

void ResetThreadCompanyContext() { thread_context.reset(); }

}  // namespace rnt::host
