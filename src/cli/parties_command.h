#pragma once

#include <ostream>

#include "cli/run_command.h"

namespace rnt::cli {

// Lists the company's parties (its latest year's, for a folder) with the
// rent date each was last billed for, the day its rent is billed up to and
// the rent voucher that bills it.
int ListParties(const CompanyOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
