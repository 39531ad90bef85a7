#pragma once

#include <filesystem>
#include <memory>

#include "rnt/collection.h"
#include "rnt/host.h"
#include "rnt/run_report.h"
#include "rnt/windowing.h"

namespace rnt {

// The add-on's entry class. The host describes the open company through
// ActivateDB and calls Start once per rent run; both always return normally.
// All instances on one thread share one company context.
class IKoraWin {
 public:
  virtual ~IKoraWin() = default;
  // Takes the company's description: item 4 the company code, item 5 an
  // object whose Name is the database file, item 6 the database type, item 50
  // the host object.
  virtual void ActivateDB(Collection& p_Data) = 0;
  // Connects to the company database, makes sure of the work table and runs
  // one rent run for the current user from the parameters file.
  virtual void Start() = 0;
  // What the last Start did, and every step of it that failed and was skipped;
  // valid until the next Start on this thread.
  virtual const RunReport& LastRunReport() const = 0;
};

// What a host gives the add-on besides p_Data, for the calling thread: the
// maker of its closed components, its window system, and the add-on's folder
// (where the parameters file and Server.Txt are read; empty: the folder of
// the loaded library file).
struct HostServices {
  std::shared_ptr<HostComponentFactory> components;
  std::shared_ptr<platform::Windowing> windowing;  // null: the default windowing
  std::filesystem::path addon_folder;
};

}  // namespace rnt

// The library's entry points, found by name by a host that loads it.
extern "C" {
// Creates an object of the named class ("IKoraWin"); nullptr for an unknown name.
rnt::IKoraWin* rnt_create_object(const char* class_name);
// Destroys an object made by rnt_create_object.
void rnt_destroy_object(rnt::IKoraWin* object);
// Sets the host's services for the calling thread.
void rnt_set_host_services(const rnt::HostServices* services);
}

namespace rnt {
using CreateObjectFunction = IKoraWin* (*)(const char*);
using DestroyObjectFunction = void (*)(IKoraWin*);
using SetHostServicesFunction = void (*)(const HostServices*);
}  // namespace rnt
