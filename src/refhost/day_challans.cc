#include "refhost/day_challans.h"

#include <algorithm>

#include "core/text_util.h"
#include "db/recordset.h"
#include "rnt/value_text.h"

namespace rnt::refhost {

void ReadDayChallans(db::Connection& company, std::int32_t party_code, Date first, Date last,
                     DayChallans& challans) {
  // The stock entries of deliveries (4) and returns (11), as the rent walks
  // read them.
  db::Recordset rows;
  rows.Open(
      "select MasterCode1 as itm, Date as dte, [No] as vno from Tran3 where RecType=3 and "
      "TranType in (5,3,0) and VchType in (4,11) and MasterCode2=" +
          std::to_string(party_code) + " and Date>=#" + FormatDate(first, "dd-mmm-yyyy") +
          "# and Date<=#" + FormatDate(last, "dd-mmm-yyyy") +
          "# order by MasterCode1, Date, VchCode",
      company);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("itm");
    const Variant date = rows.Field("dte");
    const Variant number = rows.Field("vno");
    if (!item.IsNumber() || date.IsNull() || number.IsNull() || number.IsEmpty()) continue;
    const std::string challan(TrimBlanks(number.ToText()));
    if (challan.empty()) continue;
    std::vector<std::string>& day = challans[{item.ToInt32(), date.ToDate()}];
    if (std::find(day.begin(), day.end(), challan) == day.end()) day.push_back(challan);
  }
}

}  // namespace rnt::refhost
