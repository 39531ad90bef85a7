// Any text as the line of a user's parameters file, and any three values
// written into one: the add-on reads back exactly the values the host wrote.
#include <tuple>

#include "engine/run_parameters.h"
#include "fuzz_check.h"
#include "refhost/parameters_file.h"
#include "rnt/value_text.h"

using rnt::engine::RunParameters;
using rnt::fuzz::Require;

namespace {

// The host writes the values, unless the line cannot carry one; the add-on
// must read the same ones back.
void WrittenAndRead(const RunParameters& values) {
  std::string line;
  if (!rnt::fuzz::Tried([&] {
        line = rnt::refhost::ParametersLine(values.rent_date, values.party, values.search_date);
      })) {
    return;
  }
  // The file reader stops at the line feed; the line's reader takes the rest.
  Require(line.ends_with("\r\n") && line.find('\n') == line.size() - 1,
          "a parameters line is one line");
  const RunParameters read = rnt::engine::ParseParametersLine(line.substr(0, line.size() - 1));
  Require(std::tie(read.rent_date, read.party, read.search_date) ==
              std::tie(values.rent_date, values.party, values.search_date),
          "the values written are the values read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = rnt::fuzz::TextOf(data, size);
  const RunParameters read = rnt::engine::ParseParametersLine(std::string(text));
  rnt::ParseDateText(read.rent_date);
  rnt::ParseDateText(read.search_date);
  WrittenAndRead(read);
  // The input as three values, split at NUL bytes.
  std::vector<std::string> values = rnt::fuzz::Pieces(text, '\0', 3);
  values.resize(3);
  WrittenAndRead({.rent_date = values[0], .party = values[1], .search_date = values[2]});
  return 0;
}
