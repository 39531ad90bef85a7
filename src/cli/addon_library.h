#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "rnt/ikorawin.h"

namespace rnt::cli {

// The add-on library loaded the way a host loads it: by file, with its
// objects created by class name through its entry points.
class AddonLibrary {
 public:
  // Loads the library file; throws rnt::Error naming the file and why.
  explicit AddonLibrary(const std::filesystem::path& file);
  ~AddonLibrary();
  AddonLibrary(const AddonLibrary&) = delete;
  AddonLibrary& operator=(const AddonLibrary&) = delete;

  // The library next to the running program, where the build puts both.
  static std::filesystem::path NextToProgram();

  struct Destroy {
    DestroyObjectFunction destroy;
    void operator()(IKoraWin* object) const { destroy(object); }
  };
  using Object = std::unique_ptr<IKoraWin, Destroy>;

  // Creates an object by class name; throws rnt::Error for an unknown class.
  Object Create(const std::string& class_name) const;
  void SetHostServices(const HostServices& services) const;

 private:
  void* handle_ = nullptr;
  CreateObjectFunction create_ = nullptr;
  DestroyObjectFunction destroy_ = nullptr;
  SetHostServicesFunction set_services_ = nullptr;
};

}  // namespace rnt::cli
