#pragma once

#include <string>

#include "db/connection.h"

namespace rnt::refhost {

// The business that sends the statements, as the first row of a year's
// optional CompanyInfo table names it.
struct CompanyInfo {
  std::string name;
  std::string address;  // may run over several lines
};

// The company's name and address; empty texts when the file has no
// CompanyInfo table or no row in it, as older files have not. Throws
// rnt::Error when the database cannot be read.
CompanyInfo ReadCompanyInfo(db::Connection& connection);

}  // namespace rnt::refhost
