#include "refhost/previous_voucher.h"

#include "db/recordset.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr int kRentVoucherType = 9;

std::optional<PostedVoucher> LatestIn(db::Connection& year, std::int32_t party_code,
                                      Date search_date) {
  db::Recordset rows;
  rows.Open(
      "select top 1 VchCode, Date from Tran1 where VchType=" + std::to_string(kRentVoucherType) +
          " and MasterCode1=" + std::to_string(party_code) + " and Date<=#" +
          FormatDate(search_date, "dd-mmm-yyyy") + "# order by Date desc, VchCode desc",
      year);
  // A voucher without a positive code is no voucher to continue from.
  if (rows.Eof() || !rows.Field("VchCode").IsNumber() || rows.Field("VchCode").ToInt32() <= 0 ||
      rows.Field("Date").IsNull()) {
    return std::nullopt;
  }
  return PostedVoucher{rows.Field("VchCode").ToInt32(), rows.Field("Date").ToDate()};
}

}  // namespace

std::optional<PostedVoucher> PreviousRentVoucher(const CompanyFiles& files, std::int32_t party_code,
                                                 Date search_date) {
  YearFile current(files.CurrentYear(), YearFile::Indexes::kLeaveAsIs);
  if (auto found = LatestIn(current.Connection(), party_code, search_date)) return found;
  const std::optional<YearSource> previous_source = files.PreviousYear();
  if (!previous_source) return std::nullopt;
  YearFile previous(*previous_source, YearFile::Indexes::kLeaveAsIs);
  try {
    previous.Connection();
  } catch (const Error&) {
    return std::nullopt;  // on the server the year before may not exist
  }
  return LatestIn(previous.Connection(), party_code, search_date);
}

}  // namespace rnt::refhost
