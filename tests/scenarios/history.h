#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rnt/date.h"
#include "scenarios/scenario.h"

namespace rnt::testing {

// One stock movement of a party's history: material issued on a delivery
// challan, or returned on a return challan (good, lost or damaged pieces).
struct HistoryEntry {
  enum class Kind { kIssue, kReturn, kLost, kDamaged };
  Kind kind = Kind::kIssue;
  Date day = Date::FromYmd(2021, 4, 1);
  std::string challan;
  int32_t reference = 0;  // Tran3.RefCode of the challan's rows
  int32_t item = 0;
  double quantity = 0;  // pieces, always positive
  double damage_percent = 0;

  // What the entry does to the party's balance of the item.
  double Change() const { return kind == Kind::kIssue ? quantity : -quantity; }
};

// A party's challans over the end of one financial year and the start of the
// next, drawn at random the way a hire business's books look: several items,
// deliveries and part-returns, days with more than one challan of an item,
// pieces lost or damaged on returns; never more returned than the party
// holds. The same seed always gives the same history.
struct History {
  static constexpr int32_t kParty = 12;
  Date year_start = Date::FromYmd(2021, 4, 1);  // the current financial year's first day
  Date first_day = Date::FromYmd(2021, 1, 4);
  Date last_day = Date::FromYmd(2021, 6, 28);
  std::vector<int32_t> items;
  std::vector<HistoryEntry> entries;  // in date order

  // Each item's balance with the party at the end of `day`, after `after`
  // (exclusive; omitted: from the beginning).
  std::map<int32_t, double> BalancesUpTo(Date day) const;
  std::map<int32_t, double> NetChangesBetween(Date after, Date up_to) const;
  // The pieces of each item lost (or damaged) in (after, up_to].
  std::map<int32_t, double> PiecesBetween(HistoryEntry::Kind kind, Date after, Date up_to) const;
  // The latest entry of an item on or before `day`, for a rent voucher's
  // challan; nullptr when the item has none.
  const HistoryEntry* LatestEntryOf(int32_t item, Date day) const;
  // Whether any piece was lost or damaged on `day`.
  bool MarksPiecesOn(Date day) const;
};

History GenerateHistory(uint32_t seed);

// The same history with some challans divided into two or three challans of
// the same day, with numbers and reference codes of their own.
History SplitChallans(const History& history, uint32_t seed);

// The history as a rent case's company: its items with their rates, and its
// challans as vouchers in their short form, the new year's opening entries
// carrying each item's year-end balance; with a rent voucher of the party
// dated `rent_voucher_day` listing each item's balance at the end of that day.
CaseCompany CaseOf(const History& history, std::optional<Date> rent_voucher_day = std::nullopt);

// The history's company (CaseOf) written into the two year files.
void Record(const History& history, CompanyYear& previous, CompanyYear& current);

}  // namespace rnt::testing
