#pragma once

#include <cstdint>
#include <optional>

#include "db/connection.h"
#include "refhost/posted_vouchers.h"
#include "rnt/error.h"

namespace rnt::refhost {

// No voucher of the year has the code.
class NoSuchVoucher : public Error {
 public:
  using Error::Error;
};

// The voucher may not be cancelled: it is no rent voucher, or a later rent
// voucher of the party goes on from it.
class VoucherKept : public Error {
 public:
  using Error::Error;
};

// What a cancelled rent voucher was.
struct CancelledRentVoucher {
  std::int32_t party_code = 0;
  Date billed_up_to = Date::FromSerial(0);
};

// Cancels the party's latest rent voucher: in one transaction on the year's
// data its Tran1, Tran2, ItemDesc and VchOtherInfo rows go, and the bill kept
// with it, so that the party's next run goes on from its voucher before (or
// from its whole history). Throws, with nothing changed, NoSuchVoucher when
// no voucher has the code, VoucherKept when the voucher is not a rent voucher
// or a later one of the party follows it, and rnt::Error naming the statement
// when the database fails.
CancelledRentVoucher CancelRentVoucher(db::Connection& year, std::int32_t code);

}  // namespace rnt::refhost
