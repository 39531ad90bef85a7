#include "refhost/parties.h"

#include <set>

#include "db/recordset.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {

std::vector<std::string> PartiesWithMovements(const CompanyFiles& files, Date rent_date) {
  std::set<std::string> names;
  std::vector<YearSource> years = {files.CurrentYear()};
  if (std::optional<YearSource> previous = files.PreviousYear()) years.push_back(*previous);
  const std::string closing = FormatDate(rent_date.AddDays(-1), "dd-mmm-yyyy");
  for (size_t i = 0; i < years.size(); ++i) {
    YearFile year(years[i], YearFile::Indexes::kLeaveAsIs);
    db::Connection* connection = nullptr;
    try {
      connection = &year.Connection();
    } catch (const Error&) {
      if (i == 0) throw;
      continue;  // no previous year
    }
    db::Recordset rows;
    rows.Open(
        "select distinct m.Name as name from Master1 as m, Tran3 as t where m.MasterType=2 and "
        "m.Code=t.MasterCode2 and t.RecType=3 and t.Date<=#" +
            closing + "#",
        *connection);
    for (; !rows.Eof(); rows.MoveNext()) {
      if (!rows.Field("name").IsNull()) names.insert(rows.Field("name").ToText());
    }
  }
  return {names.begin(), names.end()};
}

}  // namespace rnt::refhost
