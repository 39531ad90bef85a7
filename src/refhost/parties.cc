#include "refhost/parties.h"

#include <map>

#include "db/recordset.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

// The named parties of a query's rows (columns code and name) into `by_name`.
void AddParties(db::Connection& year, const std::string& sql,
                std::map<std::string, std::int32_t>& by_name) {
  db::Recordset rows;
  rows.Open(sql, year);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant name = rows.Field("name");
    const Variant code = rows.Field("code");
    if (!name.IsNull() && code.IsNumber()) by_name.try_emplace(name.ToText(), code.ToInt32());
  }
}

std::vector<Party> Sorted(const std::map<std::string, std::int32_t>& by_name) {
  std::vector<Party> parties;
  for (const auto& [name, code] : by_name) parties.push_back({code, name});
  return parties;
}

}  // namespace

std::vector<Party> PartiesWithMovements(const CompanyData& company, Date rent_date) {
  std::map<std::string, std::int32_t> by_name;
  std::vector<YearFile*> years = {company.current().get()};
  if (company.previous()) years.push_back(company.previous().get());
  const std::string closing = FormatDate(rent_date.AddDays(-1), "dd-mmm-yyyy");
  for (size_t i = 0; i < years.size(); ++i) {
    db::Connection* connection = nullptr;
    try {
      connection = &years[i]->Connection();
    } catch (const Error&) {
      if (i == 0) throw;
      continue;  // no previous year
    }
    AddParties(*connection,
               "select distinct m.Code as code, m.Name as name from Master1 as m, Tran3 as t where "
               "m.MasterType=2 and m.Code=t.MasterCode2 and t.RecType=3 and t.Date<=#" +
                   closing + "#",
               by_name);
  }
  return Sorted(by_name);
}

std::vector<Party> AllParties(db::Connection& year) {
  std::map<std::string, std::int32_t> by_name;
  AddParties(year, "select Code as code, Name as name from Master1 where MasterType=2", by_name);
  return Sorted(by_name);
}

}  // namespace rnt::refhost
