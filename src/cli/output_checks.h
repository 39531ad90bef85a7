#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "cli/statement_format.h"
#include "refhost/company_files.h"
#include "rnt/date.h"

namespace rnt::cli {

// Today on the machine's calendar (local time).
Date Today();

// Checks, before anything is run or posted, that a statement file can be
// written where `option` names it: its folder exists and can be written, and
// the file, when there, is a file that can be written. Throws
// CommandLineError naming the option and the path.
void RequireWritableFile(std::string_view option, const std::filesystem::path& file);

// Checks that a statement file is none of the company's year files, their
// side files (-wal, -shm, -journal) or the users' lock file: writing it would
// overwrite the company's data, and closing it would drop the locks that the
// database library holds on them. Throws CommandLineError.
void RequireNotCompanyFile(std::string_view option, const std::filesystem::path& file,
                           const refhost::CompanyFiles& company);

// Checks that --output-dir is a folder that can be written, or can be made
// (its nearest existing folder can be written). Throws CommandLineError.
void RequireWritableFolder(std::string_view option, const std::filesystem::path& folder);

// The statement file names of one batch, each used once: two parties whose
// names differ only in signs ("Verma & Sons", "Verma + Sons") or in letter
// case get names of their own, never one file for both.
class StatementFileNames {
 public:
  // The party's file name: its letters, digits and '-' kept, anything else
  // '_', the format's extension; "-2", "-3", ... added when taken already.
  std::string Take(const std::string& party, StatementFormat format);

 private:
  std::set<std::string> taken_;  // in lower case
};

}  // namespace rnt::cli
