#pragma once

#include <string>
#include <string_view>

namespace rnt::cli {

// Text from the company or the user, made safe to stand in an element or an
// attribute.
std::string Escaped(std::string_view text);

}  // namespace rnt::cli
