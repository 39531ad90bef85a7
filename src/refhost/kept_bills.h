#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "refhost/company_info.h"
#include "refhost/day_challans.h"
#include "refhost/marked_pieces.h"
#include "refhost/posted_vouchers.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"

namespace rnt::refhost {

// What a posted bill said about itself around its lines, as it was printed:
// kept so that later challans, renamed masters or a new day rule do not
// change a bill the party already has.
struct KeptBillHead {
  std::int32_t voucher = 0;  // the rent voucher it was posted as
  std::int32_t party_code = 0;
  std::string party;  // as Master1 spelled it
  CompanyInfo company;
  Date first_day = Date::FromSerial(0);  // the period billed
  Date last_day = Date::FromSerial(0);   // the voucher's date
  std::optional<PostedRentVoucher> continued_from;
  std::string day_rule;         // as the statement named it: "both days", ...
  std::string amount_grouping;  // as its amounts were printed: "indian", ...
  // The printed grand total, in hundredths: the sum of the printed amounts.
  std::int64_t total_hundredths = 0;
  std::string posted_at;  // local time, "YYYY-MM-DD HH:MM:SS"
};

// A posted bill, whole: its head, its rent lines in the order in which they
// were written, the names its items had, and the marked pieces its lost and
// damage lines charged.
struct KeptBill {
  KeptBillHead head;
  std::vector<RentLine> lines;
  std::map<std::string, std::string> item_names;  // keyed by the text of Code1
  std::vector<MarkedPiece> marked_pieces;
  // The days on which an item came on several challans, each named as printed.
  DayChallans day_challans;
};

// Writes the bill into the kept-bill tables, making them first in an older
// company that lacks them. Call it inside the transaction that posts the
// voucher, so that the two are kept together or not at all.
void KeepBill(db::Connection& company, const KeptBill& bill);

// The bill kept with the rent voucher; nullopt for a voucher posted before
// bills were kept (or a company that never kept one). Throws rnt::Error when
// the tables cannot be read.
std::optional<KeptBill> ReadKeptBill(db::Connection& company, std::int32_t voucher);

// The heads of every kept bill, by voucher; empty for a company without the
// tables. Throws rnt::Error when they cannot be read.
std::map<std::int32_t, KeptBillHead> ReadKeptBillHeads(db::Connection& company);

// Removes what was kept with the voucher, if anything; inside the
// transaction that removes the voucher.
void ForgetKeptBill(db::Connection& company, std::int32_t voucher);

}  // namespace rnt::refhost
