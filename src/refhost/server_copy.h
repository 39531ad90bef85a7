#pragma once

#include <string>
#include <vector>

#include "refhost/company_files.h"

namespace rnt::refhost {

// Copies a company kept in files (one or two financial years) into the
// database server, one catalogue per year named by the company code and the
// year, so that the company runs there from then on. A catalogue that does not
// exist is made; one that already holds data is never overwritten: the copy is
// refused before anything is written. Every table is copied with the columns
// the file has: at_ILC's DayRule and AmountGrouping with it, and a file made
// before those columns leaves them empty on the server (the defaults). Returns the catalogues
// written.
std::vector<std::string> CopyCompanyToServer(const CompanyFiles& files, const ServerLogin& login,
                                             const std::string& company_code);

}  // namespace rnt::refhost
