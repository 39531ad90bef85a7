#include "cli/addon_library.h"

#include <dlfcn.h>

#include "rnt/error.h"

namespace rnt::cli {
namespace {

template <typename Function>
Function Symbol(void* handle, const char* name, const std::filesystem::path& file) {
  void* symbol = dlsym(handle, name);
  if (!symbol) throw Error("the add-on library " + file.string() + " has no entry point " + name);
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

AddonLibrary::AddonLibrary(const std::filesystem::path& file) {
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    throw Error("cannot load the add-on library " + file.string() + ": " + (why ? why : "?"));
  }
  try {
    create_ = Symbol<CreateObjectFunction>(handle_, "rnt_create_object", file);
    destroy_ = Symbol<DestroyObjectFunction>(handle_, "rnt_destroy_object", file);
    set_services_ = Symbol<SetHostServicesFunction>(handle_, "rnt_set_host_services", file);
  } catch (...) {
    dlclose(handle_);
    throw;
  }
}

AddonLibrary::~AddonLibrary() { dlclose(handle_); }

std::filesystem::path AddonLibrary::NextToProgram() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path(".") : program.parent_path()) / "librnt0417.so";
}

AddonLibrary::Object AddonLibrary::Create(const std::string& class_name) const {
  IKoraWin* object = create_(class_name.c_str());
  if (!object) throw Error("the add-on library has no class " + class_name);
  return Object(object, Destroy{destroy_});
}

void AddonLibrary::SetHostServices(const HostServices& services) const { set_services_(&services); }

}  // namespace rnt::cli
