#include "scenarios/history.h"

#include <algorithm>
#include <random>

#include <fmt/format.h>

#include "rnt/value_text.h"

namespace rnt::testing {
namespace {

// Draws whole numbers in [low, high] from the history's own generator, the
// same on every platform (std::uniform_int_distribution is not).
class Draw {
 public:
  explicit Draw(uint32_t seed) : engine_(seed) {}
  int Between(int low, int high) {
    return low + static_cast<int>(engine_() % static_cast<uint32_t>(high - low + 1));
  }
  bool Chance(int percent) { return Between(1, 100) <= percent; }

 private:
  std::mt19937 engine_;
};

}  // namespace

std::map<int32_t, double> History::BalancesUpTo(Date day) const {
  return NetChangesBetween(first_day.AddDays(-1), day);
}

std::map<int32_t, double> History::NetChangesBetween(Date after, Date up_to) const {
  std::map<int32_t, double> changes;
  for (const HistoryEntry& entry : entries) {
    if (entry.day > after && entry.day <= up_to) changes[entry.item] += entry.Change();
  }
  return changes;
}

std::map<int32_t, double> History::PiecesBetween(HistoryEntry::Kind kind, Date after,
                                                 Date up_to) const {
  std::map<int32_t, double> pieces;
  for (const HistoryEntry& entry : entries) {
    if (entry.kind == kind && entry.day > after && entry.day <= up_to) {
      pieces[entry.item] += entry.quantity;
    }
  }
  return pieces;
}

const HistoryEntry* History::LatestEntryOf(int32_t item, Date day) const {
  const HistoryEntry* latest = nullptr;
  for (const HistoryEntry& entry : entries) {
    if (entry.item == item && entry.day <= day) latest = &entry;
  }
  return latest;
}

bool History::MarksPiecesOn(Date day) const {
  return std::any_of(entries.begin(), entries.end(), [&](const HistoryEntry& entry) {
    return entry.day == day &&
           (entry.kind == HistoryEntry::Kind::kLost || entry.kind == HistoryEntry::Kind::kDamaged);
  });
}

History GenerateHistory(uint32_t seed) {
  Draw draw(seed);
  History history;
  const int item_count = draw.Between(2, 4);
  for (int i = 0; i < item_count; ++i) history.items.push_back(101 + i);
  std::map<int32_t, double> held;
  Date day = history.first_day;
  const int challans = draw.Between(15, 40);
  for (int number = 1; number <= challans; ++number) {
    // Busy sites see several challans a day; otherwise a few days pass.
    if (!draw.Chance(25)) day = day.AddDays(draw.Between(1, 9));
    // The year's first day is a working day like any other.
    if (draw.Chance(8)) day = std::max(day, history.year_start);
    if (day > history.last_day) break;
    const int32_t reference = 5000 + number;
    const int lines = draw.Between(1, 2);
    for (int line = 0; line < lines; ++line) {
      int32_t item = history.items[static_cast<size_t>(draw.Between(0, item_count - 1))];
      HistoryEntry entry;
      entry.day = day;
      entry.reference = reference;
      entry.item = item;
      double& balance = held[item];
      if (balance < 1 || draw.Chance(45)) {
        entry.kind = HistoryEntry::Kind::kIssue;
        entry.challan = "DC-" + std::to_string(number);
        entry.quantity = 5 * draw.Between(1, 12);
        balance += entry.quantity;
        history.entries.push_back(entry);
        continue;
      }
      entry.challan = "RC-" + std::to_string(number);
      entry.kind = HistoryEntry::Kind::kReturn;
      entry.quantity = draw.Between(1, static_cast<int>(balance));
      balance -= entry.quantity;
      history.entries.push_back(entry);
      // Some of what comes back is lost or damaged, on the same challan.
      if (balance >= 1 && draw.Chance(20)) {
        HistoryEntry marked = entry;
        marked.kind = draw.Chance(50) ? HistoryEntry::Kind::kLost : HistoryEntry::Kind::kDamaged;
        marked.quantity = draw.Between(1, std::min(3, static_cast<int>(balance)));
        marked.damage_percent =
            marked.kind == HistoryEntry::Kind::kDamaged ? 10 * draw.Between(1, 5) : 0;
        balance -= marked.quantity;
        history.entries.push_back(marked);
      }
    }
  }
  return history;
}

History SplitChallans(const History& history, uint32_t seed) {
  Draw draw(seed ^ 0x5eed);
  History split = history;
  split.entries.clear();
  int32_t reference = 9000;
  for (const HistoryEntry& entry : history.entries) {
    const bool movement =
        entry.kind == HistoryEntry::Kind::kIssue || entry.kind == HistoryEntry::Kind::kReturn;
    if (!movement || entry.quantity < 2 || !draw.Chance(40)) {
      split.entries.push_back(entry);
      continue;
    }
    int parts = std::min(draw.Between(2, 3), static_cast<int>(entry.quantity));
    double left = entry.quantity;
    for (int part = 0; part < parts; ++part) {
      HistoryEntry piece = entry;
      piece.quantity =
          part + 1 == parts ? left : draw.Between(1, static_cast<int>(left) - (parts - part - 1));
      left -= piece.quantity;
      if (part > 0) {
        piece.challan = entry.challan + "/" + std::to_string(part);
        piece.reference = ++reference;
      }
      split.entries.push_back(piece);
    }
  }
  return split;
}

CaseCompany CaseOf(const History& history, std::optional<Date> rent_voucher_day) {
  const std::string first_day = ShortDateText(history.year_start);
  CaseCompany company{.year_start = first_day, .previous_year = true, .items = {}};
  for (int32_t item : history.items) {
    company.items[std::to_string(item)] = "Item " + std::to_string(item);
    company.rates.push_back(fmt::format("{} {} {}", item, 0.25 * (item - 100), 100 * (item - 100)));
  }
  auto& vouchers = company.vouchers;
  for (const HistoryEntry& entry : history.entries) {
    const std::string day = ShortDateText(entry.day);
    const bool issue = entry.kind == HistoryEntry::Kind::kIssue;
    vouchers.push_back(fmt::format("{} {} {} {} {} ref {}", day, issue ? "issue" : "return",
                                   entry.challan, entry.item, entry.quantity, entry.reference));
    if (entry.kind == HistoryEntry::Kind::kLost) {
      vouchers.push_back(fmt::format("{} lost {} {}", day, entry.item, entry.quantity));
    } else if (entry.kind == HistoryEntry::Kind::kDamaged) {
      vouchers.push_back(fmt::format("{} damaged {} {} {}%", day, entry.item, entry.quantity,
                                     entry.damage_percent));
    }
  }
  // The new year opens with what each item's party held when the old one closed.
  for (const auto& [item, held] : history.BalancesUpTo(history.year_start.AddDays(-1))) {
    if (held > 0) vouchers.push_back(fmt::format("{} opening {} {}", first_day, item, held));
  }
  if (rent_voucher_day) {
    std::string voucher = ShortDateText(*rent_voucher_day) + " rent 7001", joint = " carries ";
    for (const auto& [item, held] : history.BalancesUpTo(*rent_voucher_day)) {
      if (held <= 0) continue;
      const HistoryEntry* latest = history.LatestEntryOf(item, *rent_voucher_day);
      voucher += joint + fmt::format("{} {} {} {}", item, held, latest->challan,
                                     ShortDateText(latest->day));
      joint = " and ";
    }
    vouchers.push_back(voucher);
  }
  return company;
}

void Record(const History& history, CompanyYear& previous, CompanyYear& current) {
  FillCompany(CaseOf(history), current, &previous);
}

}  // namespace rnt::testing
