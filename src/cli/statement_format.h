#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "refhost/rent_lines.h"

namespace rnt::cli {

// The ways a user's rent lines can be printed.
enum class StatementFormat { kTable, kCsv, kJson };

// Reads a format's name ("table", "csv", "json"); throws rnt::Error otherwise.
StatementFormat ParseStatementFormat(std::string_view name);

// Prints the rent lines in the order in which they were written.
void PrintStatement(const std::vector<refhost::RentLine>& lines, StatementFormat format,
                    std::ostream& out);

}  // namespace rnt::cli
