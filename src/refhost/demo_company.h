#pragma once

#include <filesystem>
#include <string>

namespace rnt::refhost {

// A small rental business to try the program on: two financial years
// (2023-24 and 2024-25), a dozen items of shuttering and scaffolding, a
// handful of parties (one renting at a rate master's rates), challans over
// several months (two on one day), lost and damaged pieces, and one party
// whose earlier rent was posted as a rent voucher.
struct DemoCompany {
  std::filesystem::path current_year;
  std::filesystem::path previous_year;
  std::string rent_date = "01-07-2024";
  // Billed from its whole history: it has no rent voucher yet.
  std::string first_party = "Sharma Builders";
  // Billed from its rent voucher of 31 May 2024.
  std::string continued_party = "Kapoor Constructions";
};

// Writes the demo company's two year files into `folder` (made if needed).
// Throws rnt::Error when the files exist already or cannot be written.
DemoCompany MakeDemoCompany(const std::filesystem::path& folder);

}  // namespace rnt::refhost
