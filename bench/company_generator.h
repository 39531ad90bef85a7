#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace rnt::bench {

// The size of a generated company: one party's history over two financial
// years (2020-21 and 2021-22), spread over its items.
struct CompanySize {
  int items = 50;
  int movement_rows_per_year = 10000;
  uint32_t seed = 1;
  // Items listed on a rent voucher of the party dated 10 April 2020, in the
  // previous year: the first this many items; 0 for no voucher.
  int voucher_items = 0;
  // Parties with such a history each: Sharma Builders (12), then "Party 13",
  // "Party 14", and so on.
  int parties = 1;
};

// The files of a generated company and the party whose history they hold.
struct GeneratedCompany {
  std::filesystem::path current_year;
  std::filesystem::path previous_year;
  std::string party = "Sharma Builders";
  std::string rent_date = "01-03-2022";  // near the end of the current year
};

// Writes a company into `folder`: issues and returns on challans (several
// lines of one challan, some days with two challans of an item), the balance
// of every item never below zero, rates for every item, some lost and damaged
// pieces. Deterministic for a seed.
GeneratedCompany GenerateCompany(const std::filesystem::path& folder, const CompanySize& size);

}  // namespace rnt::bench
