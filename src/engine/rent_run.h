#pragma once

#include "host/company_context.h"

namespace rnt::engine {

// One rent run for the current user: clears the user's rent lines and writes
// the new ones into the work table.
void RunRent(host::CompanyContext& context);

}  // namespace rnt::engine
