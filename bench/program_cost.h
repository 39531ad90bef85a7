#pragma once

#include <string>
#include <vector>

namespace rnt::bench {

// What one run of rnt0417 cost: its wall time, the peak memory of the
// process and, when it was run with --report, the statements sent to each
// database (by the add-on, and by the host to the current and the previous
// year's data).
struct ProgramCost {
  double seconds = 0;
  long peak_kib = 0;
  long addon_statements = 0;
  long host_current_year_statements = 0;
  long host_previous_year_statements = 0;
};

// Runs the built rnt0417 with the arguments, its output thrown away; throws
// std::runtime_error, with what it printed on standard error, when it does not
// finish with status 0.
ProgramCost RunRnt0417(const std::vector<std::string>& arguments);

// The test server's login from the file that RNT_PG_ENV names (written by
// scripts/pg_cluster.sh), as a Server.Txt line; empty without one.
std::string ServerLoginLine();

}  // namespace rnt::bench
