#include "refhost/carried_quantities.h"

#include <cmath>
#include <map>
#include <string>

#include "db/recordset.h"
#include "refhost/year_files.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

// Per item, the quantity of the voucher's last line of it (as a run reads it).
std::map<std::int32_t, double> VoucherQuantities(db::Connection& year, std::int32_t voucher) {
  db::Recordset rows;
  rows.Open(
      "select t2.MasterCode1 as item, itd.Desc6 as carried from Tran2 as t2, ItemDesc as "
      "itd where t2.VchCode=" +
          std::to_string(voucher) +
          " and itd.VchCode=t2.VchCode and itd.SrNo=t2.SrNo and t2.RecType in (7,2) order by "
          "t2.SrNo",
      year);
  std::map<std::int32_t, double> carried;
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("item");
    const Variant quantity = rows.Field("carried");
    if (!item.IsNumber()) continue;
    std::optional<double> number =
        quantity.IsNull() ? std::optional<double>(0) : ParseNumberText(quantity.ToText());
    carried[item.ToInt32()] = number.value_or(0);
  }
  return carried;
}

// Adds, per item, what the party's challans of one year up to `last_day` left
// with it; with the year's opening entries when `openings`.
void AddHeld(db::Connection& year, std::int32_t party, Date last_day, bool openings,
             std::map<std::int32_t, double>& held) {
  db::Recordset rows;
  rows.Open("select MasterCode1 as item, sum(Value1) as moved from Tran3 where MasterCode2=" +
                std::to_string(party) + " and RecType=3 and TranType in (5,3,0) and Date<=#" +
                FormatDate(last_day, "dd-mmm-yyyy") + "# and (VchType in (4,11)" +
                (openings ? " or (VchType=9 and VchCode=-1400)" : "") + ") group by MasterCode1",
            year);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("item");
    const Variant moved = rows.Field("moved");
    // Issues are stored below nothing, returns above.
    if (item.IsNumber() && moved.IsNumber()) held[item.ToInt32()] -= moved.ToDouble();
  }
}

// The previous year's connection, or null when the company has none.
db::Connection* PreviousYear(const CompanyData& company) {
  if (!company.previous()) return nullptr;
  try {
    return &company.previous()->Connection();
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    return nullptr;  // no catalogue of the year before on the server
  }
}

}  // namespace

std::vector<CarriedDifference> CarriedDifferences(const CompanyData& company,
                                                  std::int32_t party_code,
                                                  const PostedRentVoucher& voucher) {
  db::Connection& current = company.current()->Connection();
  db::Connection* previous = PreviousYear(company);
  const bool in_current = voucher.billed_up_to >= YearStartOf(company.current());
  if (!in_current && !previous) return {};
  db::Connection& voucher_year = in_current ? current : *previous;

  std::map<std::int32_t, double> held;
  if (in_current && previous) {
    AddHeld(*previous, party_code, voucher.billed_up_to, true, held);
    AddHeld(current, party_code, voucher.billed_up_to, false, held);
  } else {
    AddHeld(voucher_year, party_code, voucher.billed_up_to, true, held);
  }
  std::map<std::int32_t, double> carried = VoucherQuantities(voucher_year, voucher.code);
  for (const auto& [item, quantity] : held) carried.try_emplace(item, 0.0);

  std::vector<CarriedDifference> differences;
  for (const auto& [item, quantity] : carried) {
    const double from_challans = held.count(item) ? held.at(item) : 0.0;
    // Quantities are whole pieces or short decimals: a rounding's worth is no change.
    if (std::fabs(quantity - from_challans) > 1e-6) {
      differences.push_back({item, quantity, from_challans});
    }
  }
  return differences;
}

}  // namespace rnt::refhost
