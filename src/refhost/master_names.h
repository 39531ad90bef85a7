#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "db/connection.h"

// The names that Master1 gives the company's items and parties, for the
// statements that name them.
namespace rnt::refhost {

// The names of the company's items (Master1 rows of MasterType 6), keyed by
// the item code's text as a rent line's Code1 reads ("101"), so that a
// statement can name the items it charges. Rows without a code or a name are
// left out. Throws rnt::Error when Master1 cannot be read.
std::map<std::string, std::string> ItemNames(db::Connection& connection);

// The name of the party with the code as Master1 spells it, blanks around it
// removed, whatever letter case the user typed it in. Throws rnt::Error when
// Master1 cannot be read or has no such party.
std::string PartyName(db::Connection& connection, std::int32_t party_code);

}  // namespace rnt::refhost
