// The functions a host finds by name in the loaded library.
#include <memory>
#include <string_view>

#include "core/text_util.h"
#include "host/company_context.h"
#include "host/kora_win.h"

extern "C" {

rnt::IKoraWin* rnt_create_object(const char* class_name) {
  if (class_name == nullptr) return nullptr;
  std::string_view name(class_name);
  // Hosts ask by class name, with or without the library's name before it.
  if (rnt::EqualsIgnoringCase(name, "IKoraWin") ||
      rnt::EqualsIgnoringCase(name, "RNT0417.IKoraWin")) {
    return std::make_unique<rnt::host::KoraWin>().release();  // owned by the host until destroyed
  }
  return nullptr;
}

void rnt_destroy_object(rnt::IKoraWin* object) { std::unique_ptr<rnt::IKoraWin> owned(object); }

void rnt_set_host_services(const rnt::HostServices* services) {
  rnt::host::ThreadCompanyContext().services = services ? *services : rnt::HostServices();
}

}  // extern "C"
