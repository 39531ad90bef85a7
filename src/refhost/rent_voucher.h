#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "refhost/company_files.h"
#include "refhost/posted_vouchers.h"
#include "refhost/rent_lines.h"
#include "rnt/date.h"
#include "rnt/error.h"

namespace rnt::refhost {

// The party's rent is billed up to the date of one of its rent vouchers
// already, so no rent voucher may be posted for a day on or before it.
class AlreadyBilled : public Error {
 public:
  explicit AlreadyBilled(PostedRentVoucher voucher);
  const PostedRentVoucher& voucher() const { return voucher_; }

 private:
  PostedRentVoucher voucher_;
};

// Records a rent run's lines as the party's rent voucher, dated on the run's
// closing date (the day before its rent date), so that the party's next run
// goes on from the day after. In one transaction on the current year's data
// it writes the Tran1 row (VchType 9, VchNo "RENT-<VchCode>"), its
// VchOtherInfo row (OF1 'R', OF2 'Rental') and, for each item with a balance
// at the end of the closing date (the last rent line's D4), a Tran2 line
// (RecType 7, Value1 the balance) with its ItemDesc row: Desc6 the balance,
// Desc11 and Desc12 the challan number and date of the item's latest stock
// entry up to the closing date, in either year. The new VchCode follows every
// voucher code in use.
//
// `lines` are the run's lines of this party for this closing date, in the
// order in which they were written: the rent lines do not name their party.
//
// `keep`, when given, is called with the new VchCode inside the transaction,
// after the voucher's rows are written: what it writes to the current year's
// data is posted with the voucher or not at all.
//
// Returns the new VchCode. Throws, with nothing written, AlreadyBilled when
// the party has a rent voucher dated on or after the closing date; rnt::Error
// when there are no rent lines, and naming the statement when the database
// fails.
std::int32_t PostRentVoucher(const CompanyData& company, std::int32_t party_code, Date closing_date,
                             const std::vector<RentLine>& lines,
                             const std::function<void(std::int32_t code)>& keep = {});

}  // namespace rnt::refhost
