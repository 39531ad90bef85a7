#include "refhost/master_names.h"

#include "core/text_util.h"
#include "db/recordset.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

constexpr int kParty = 2;  // Master1.MasterType of a party
constexpr int kItem = 6;   // and of an item

}  // namespace

std::map<std::string, std::string> ItemNames(db::Connection& connection) {
  std::map<std::string, std::string> names;
  try {
    db::Recordset rows;
    rows.Open("select Code, Name from Master1 where MasterType=" + std::to_string(kItem) +
                  " order by Code",
              connection);
    for (; !rows.Eof(); rows.MoveNext()) {
      const Variant code = rows.Field("Code");
      const Variant name = rows.Field("Name");
      if (code.IsNull() || code.IsEmpty() || name.IsNull()) continue;
      // An item entered twice keeps the name it was first given.
      names.emplace(code.ToText(), std::string(TrimBlanks(name.ToText())));
    }
  } catch (const Error& error) {
    throw Error("cannot read the item names from Master1: " + std::string(error.what()));
  }
  return names;
}

std::string PartyName(db::Connection& connection, std::int32_t party_code) {
  db::Recordset rows;
  rows.Open("select Name from Master1 where MasterType=" + std::to_string(kParty) +
                " and Code=" + std::to_string(party_code) + " order by Name",
            connection);
  if (rows.Eof() || rows.Field("Name").IsNull()) {
    throw Error("no party with code " + std::to_string(party_code) + " in Master1");
  }
  return std::string(TrimBlanks(rows.Field("Name").ToText()));
}

}  // namespace rnt::refhost
