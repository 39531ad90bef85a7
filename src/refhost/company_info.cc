#include "refhost/company_info.h"

#include "core/text_util.h"
#include "db/recordset.h"
#include "rnt/error.h"

namespace rnt::refhost {

CompanyInfo ReadCompanyInfo(db::Connection& connection) {
  try {
    connection.backend()->TableColumns("CompanyInfo");
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    return {};  // a file made before the table was
  }
  db::Recordset rows;
  rows.Open("select Name, Address from CompanyInfo", connection);
  if (rows.Eof()) return {};
  auto text = [&rows](const char* column) {
    const Variant value = rows.Field(column);
    return value.IsNull() ? std::string() : std::string(TrimBlanks(value.ToText()));
  };
  return {text("Name"), text("Address")};
}

}  // namespace rnt::refhost
