#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "rnt/error.h"

namespace rnt::fuzz {

// Ends the fuzz run with the broken property named, so that libFuzzer keeps
// the input that broke it.
inline void Require(bool holds, std::string_view property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(property.size()),
               property.data());
  std::abort();
}

// Runs a step that may refuse its input; false when it did, with rnt::Error.
template <typename Step>
bool Tried(Step step) {
  try {
    step();
    return true;
  } catch (const rnt::Error&) {
    return false;
  }
}

inline std::string_view TextOf(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut into at most `most` pieces at the byte `separator`.
inline std::vector<std::string> Pieces(std::string_view text, char separator, size_t most) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == separator && pieces.size() < most) {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

}  // namespace rnt::fuzz
