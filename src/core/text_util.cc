#include "core/text_util.h"

#include <algorithm>

namespace rnt {
namespace {

// Names of tables, columns and keywords are ASCII; the folding is that of the
// "C" locale, which the program never leaves, without a library call per
// letter (column names are compared for every field of every row).
char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ToLower(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), FoldAscii);
  return lowered;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldAscii(x) == FoldAscii(y);
         });
}

std::string DoubleQuotes(std::string_view text) {
  std::string doubled;
  doubled.reserve(text.size());
  for (char c : text) {
    if (c == '\'') doubled += '\'';
    doubled += c;
  }
  return doubled;
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kBlanks);
  return text.substr(begin, end - begin + 1);
}

}  // namespace rnt
