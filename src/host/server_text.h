#pragma once

#include <string>
#include <string_view>

namespace rnt::host {

// The catalogue of a company's financial year on the server: the company
// code, "_db120" and the last two characters of the year date's text
// ("0001" and 01-04-2021 give "0001_db12021").
std::string CatalogueName(std::string_view company_code, std::string_view year_digits);

// The first line of a Server.Txt's contents, without the line feed that ends
// it and a carriage return before that (the file may come from Windows).
std::string ServerTxtLine(std::string_view contents);

// The connection text for the server from the first line of Server.Txt
// (fields split at ";": 1 the server, 2 the login, 3 the password; field 0 is
// not used) and the catalogue. Throws rnt::Error when the line has fewer than
// four fields.
std::string ServerConnectionText(std::string_view server_line, std::string_view catalogue);

}  // namespace rnt::host
