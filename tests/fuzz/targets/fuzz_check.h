#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace rnt::fuzz {

// Ends the fuzz run with the broken property named, so that libFuzzer keeps
// the input that broke it.
inline void Require(bool holds, std::string_view property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(property.size()),
               property.data());
  std::abort();
}

inline std::string_view TextOf(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace rnt::fuzz
