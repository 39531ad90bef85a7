#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/run_command.h"

namespace rnt::cli {

// What `rnt0417 bills` was asked to list: the year's posted rent vouchers,
// of one party and of one month (of the period's last day) when named.
struct BillsOptions : CompanyOptions {
  std::optional<std::string> party;
  std::optional<std::string> month;  // MM-YYYY
  std::string format = "table";
};

// The rent voucher that `rnt0417 reprint` prints again, and how.
struct ReprintOptions : CompanyOptions {
  std::int32_t voucher = 0;
  std::string format = "table";
  std::optional<std::filesystem::path> output;
};

// The rent voucher that `rnt0417 unpost` cancels.
struct UnpostOptions : CompanyOptions {
  std::int32_t voucher = 0;
};

// Lists the posted rent vouchers: party, number, period billed, the printed
// grand total and when it was posted.
int ListBills(const BillsOptions& options, std::ostream& out, std::ostream& err);

// Prints a posted bill again exactly as it was posted, from what was kept
// with its rent voucher; exit 3 for a voucher with nothing kept, 2 for a
// number that is no voucher.
int ReprintBill(const ReprintOptions& options, std::ostream& out, std::ostream& err);

// Cancels the party's latest rent voucher and the bill kept with it; exit 3,
// nothing changed, for a voucher that is not a rent voucher or not the
// party's latest, 2 for a number that is no voucher.
int UnpostBill(const UnpostOptions& options, std::ostream& out, std::ostream& err);

}  // namespace rnt::cli
