#pragma once

#include <map>
#include <string>

#include "db/connection.h"

namespace rnt::refhost {

// The names of the company's items (Master1 rows of MasterType 6), keyed by
// the item code's text as a rent line's Code1 reads ("101"), so that a
// statement can name the items it charges. Rows without a code or a name are
// left out. Throws rnt::Error when Master1 cannot be read.
std::map<std::string, std::string> ItemNames(db::Connection& connection);

}  // namespace rnt::refhost
