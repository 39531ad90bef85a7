#include "refhost/cancel_voucher.h"

#include <string>

#include "db/recordset.h"
#include "refhost/company_transaction.h"
#include "refhost/kept_bills.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr std::int32_t kRentVoucherType = 9;

}  // namespace

CancelledRentVoucher CancelRentVoucher(db::Connection& year, std::int32_t code) {
  CompanyTransaction transaction(year);
  const std::string number = std::to_string(code);
  db::Recordset voucher;
  voucher.Open("select VchType, MasterCode1, Date from Tran1 where VchCode=" + number, year);
  if (voucher.Eof()) throw NoSuchVoucher("no voucher has the number " + number);
  const Variant type = voucher.Field("VchType");
  // A run goes on only from rent vouchers with a code above 0; an opening
  // entry (VchType 9 with a code below 0) carries a year's balances.
  if (!type.IsNumber() || type.ToInt32() != kRentVoucherType || code <= 0 ||
      voucher.Field("MasterCode1").IsNull() || voucher.Field("Date").IsNull()) {
    throw VoucherKept("voucher " + number + " is not a rent voucher (VchType " +
                      (type.IsNumber() ? std::to_string(type.ToInt32()) : std::string("none")) +
                      ")");
  }
  const CancelledRentVoucher cancelled{voucher.Field("MasterCode1").ToInt32(),
                                       voucher.Field("Date").ToDate()};
  voucher.Close();

  // The next bill goes on from the party's latest voucher: cancelling one
  // behind it would leave a later bill continued from days no longer billed.
  const std::string day = "#" + FormatDate(cancelled.billed_up_to, "dd-mmm-yyyy") + "#";
  db::Recordset later;
  later.Open("select VchCode, Date from Tran1 where VchType=" + std::to_string(kRentVoucherType) +
                 " and VchCode>0 and MasterCode1=" + std::to_string(cancelled.party_code) +
                 " and (Date>" + day + " or (Date=" + day + " and VchCode>" + number +
                 ")) order by Date desc, VchCode desc",
             year);
  if (!later.Eof()) {
    throw VoucherKept("rent voucher " + number + " is not the party's latest: rent voucher " +
                      std::to_string(later.Field("VchCode").ToInt32()) + " of " +
                      ShortDateText(later.Field("Date").ToDate()) + " goes on from it");
  }
  later.Close();

  for (const char* table : {"Tran1", "Tran2", "ItemDesc", "VchOtherInfo"}) {
    year.Execute("delete from " + std::string(table) + " where VchCode=" + number);
  }
  ForgetKeptBill(year, code);
  transaction.Commit();
  return cancelled;
}

}  // namespace rnt::refhost
