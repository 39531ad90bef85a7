#pragma once

#include <cstdint>
#include <string>

#include "cli/statement_format.h"
#include "refhost/kept_bills.h"

namespace rnt::cli {

// The posted statement as it is kept with its rent voucher: its lines, its
// heading's facts, the names of its items and its marked pieces, with its
// printed grand total and the local time `posted_at`. Throws rnt::Error for
// an amount that is not a number.
refhost::KeptBill KeptBillOf(const Statement& statement, std::int32_t voucher,
                             std::int32_t party_code, const std::string& posted_at);

// The statement as it was posted, numbered as its rent voucher, from what was
// kept of it. Throws rnt::Error for a kept day rule that names no rule.
Statement PostedStatement(const refhost::KeptBill& bill);

// The time now on this machine's clock, "YYYY-MM-DD HH:MM:SS".
std::string LocalTimeNow();

}  // namespace rnt::cli
