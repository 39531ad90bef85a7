// Any text as the line of a user's parameters file, and any three values
// written into one: the add-on reads back exactly the values the host wrote.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/run_parameters.h"
#include "fuzz_check.h"
#include "refhost/parameters_file.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

using rnt::fuzz::Require;

namespace {

bool Same(const rnt::engine::RunParameters& a, const rnt::engine::RunParameters& b) {
  return a.rent_date == b.rent_date && a.party == b.party && a.search_date == b.search_date;
}

// The host writes the values; the add-on must read the same ones back.
void WrittenAndRead(const rnt::engine::RunParameters& values) {
  std::string line;
  try {
    line = rnt::refhost::ParametersLine(values.rent_date, values.party, values.search_date);
  } catch (const rnt::Error&) {
    return;  // a value the line cannot carry is refused before it is written
  }
  // The file reader stops at the line feed; the line's reader takes the rest.
  Require(line.ends_with("\r\n") && line.find('\n') == line.size() - 1,
          "a parameters line is one line");
  Require(Same(rnt::engine::ParseParametersLine(line.substr(0, line.size() - 1)), values),
          "the values written are the values read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = rnt::fuzz::TextOf(data, size);
  const rnt::engine::RunParameters read = rnt::engine::ParseParametersLine(std::string(text));
  rnt::ParseDateText(read.rent_date);
  rnt::ParseDateText(read.search_date);
  WrittenAndRead(read);

  // The input as three values, split at NUL bytes.
  rnt::engine::RunParameters values;
  std::string* fields[] = {&values.rent_date, &values.party, &values.search_date};
  size_t field = 0;
  for (char c : text) {
    if (c == '\0' && field < 2) {
      ++field;
    } else {
      *fields[field] += c;
    }
  }
  WrittenAndRead(values);
  return 0;
}
