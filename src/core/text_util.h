#pragma once

#include <string>
#include <string_view>

// Small text helpers for names that the host's database matches without
// regard to letter case.
namespace rnt {

std::string ToLower(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// A text to stand between single quotes in a statement: each quote doubled,
// so that O'Brien stays one value and no value can change the statement.
std::string DoubleQuotes(std::string_view text);
// The text without leading and trailing blanks (spaces, tabs, CR, LF).
std::string_view TrimBlanks(std::string_view text);

}  // namespace rnt
