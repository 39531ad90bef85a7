#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace rnt::cli {

// What `rnt0417 demo` was asked to do.
struct DemoOptions {
  std::optional<std::filesystem::path> dir;  // default: a new folder under the temporary folder
};

// Makes the demo company, bills one party from its whole history and another
// from its posted rent voucher, and prints both statements.
int Demo(const DemoOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
