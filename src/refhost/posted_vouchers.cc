#include "refhost/posted_vouchers.h"

#include <string>

#include "db/recordset.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr std::int32_t kRentVoucherType = 9;

// Adds the latest voucher of each party that `found` has none for yet.
void AddLatest(db::Connection& year, const std::string& sql,
               std::map<std::int32_t, PostedRentVoucher>& found) {
  db::Recordset rows;
  rows.Open(sql, year);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant party = rows.Field("party");
    const Variant day = rows.Field("day");
    if (!party.IsNumber() || day.IsNull()) continue;
    // The rows come latest first within each party.
    found.try_emplace(party.ToInt32(),
                      PostedRentVoucher{rows.Field("code").ToInt32(), day.ToDate()});
  }
}

}  // namespace

std::map<std::int32_t, PostedRentVoucher> LatestRentVouchers(const CompanyData& company,
                                                             std::optional<Date> on_or_before,
                                                             std::optional<std::int32_t> only) {
  // A run takes a voucher with a code above 0 only (and otherwise bills from
  // the party's first challan).
  std::string sql =
      "select MasterCode1 as party, VchCode as code, Date as day from Tran1 where "
      "VchType=" +
      std::to_string(kRentVoucherType) + " and VchCode>0";
  if (only) sql += " and MasterCode1=" + std::to_string(*only);
  if (on_or_before) sql += " and Date<=#" + FormatDate(*on_or_before, "dd-mmm-yyyy") + "#";
  sql += " order by MasterCode1, Date desc, VchCode desc";

  std::map<std::int32_t, PostedRentVoucher> found;
  AddLatest(company.current()->Connection(), sql, found);
  if (company.previous()) {
    db::Connection* connection = nullptr;
    try {
      connection = &company.previous()->Connection();
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error&) {
      return found;  // the company has no previous year
    }
    AddLatest(*connection, sql, found);
  }
  return found;
}

}  // namespace rnt::refhost
