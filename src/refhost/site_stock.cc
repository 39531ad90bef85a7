#include "refhost/site_stock.h"

#include <map>
#include <utility>

#include "db/recordset.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr int32_t kIssueType = 4;

// The party's stock entries of one item, in date order.
struct Entries {
  double balance = 0;  // returns and issues as stored: issues negative
  std::vector<ChallanOut> issued;
};

// Reads one year's stock entries up to the day into `entries`, keyed by
// party and item.
void AddYear(db::Connection& year, Date day, bool openings, std::optional<int32_t> only,
             std::map<std::pair<int32_t, int32_t>, Entries>& entries) {
  std::string sql =
      "select MasterCode2 as party, MasterCode1 as item, Date as day, [No] as challan, "
      "VchType as kind, Value1 as quantity from Tran3 where ((VchType in (4,11) and TranType "
      "in (5,3,0))";
  if (openings) sql += " or (VchType=9 and VchCode=-1400 and TranType=0)";
  sql += ") and Date<=#" + FormatDate(day, "dd-mmm-yyyy") + "#";
  if (only) sql += " and MasterCode2=" + std::to_string(*only);
  sql += " order by MasterCode2, MasterCode1, Date";
  db::Recordset rows;
  rows.Open(sql, year);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant party = rows.Field("party"), item = rows.Field("item");
    const Variant quantity = rows.Field("quantity"), on = rows.Field("day");
    // A row without a party, an item, a day or a quantity moves no balance.
    if (!party.IsNumber() || !item.IsNumber() || !quantity.IsNumber() || on.IsNull()) continue;
    Entries& of = entries[{party.ToInt32(), item.ToInt32()}];
    of.balance += quantity.ToDouble();
    if (quantity.ToDouble() >= 0) continue;
    const Variant challan = rows.Field("challan");
    std::string number = rows.Field("kind").ToDouble() == kIssueType && !challan.IsNull()
                             ? std::string(challan.ToText())
                             : std::string();
    const Date date = on.ToDate();
    // Several rows of one challan (its reference codes) are one delivery.
    if (!of.issued.empty() && of.issued.back().challan == number && of.issued.back().day == date) {
      of.issued.back().quantity -= quantity.ToDouble();
    } else {
      of.issued.push_back({std::move(number), date, -quantity.ToDouble()});
    }
  }
}

// The latest deliveries that make up what is held, latest first.
std::vector<ChallanOut> LatestCovering(const std::vector<ChallanOut>& issued, double held) {
  std::vector<ChallanOut> latest;
  for (auto it = issued.rbegin(); it != issued.rend() && held > 0; ++it) {
    ChallanOut part = *it;
    part.quantity = std::min(part.quantity, held);
    held -= part.quantity;
    latest.push_back(std::move(part));
  }
  return latest;
}

}  // namespace

std::vector<SiteHolding> MaterialAtSites(const CompanyData& company, Date day,
                                         std::optional<int32_t> only) {
  std::map<std::pair<int32_t, int32_t>, Entries> entries;
  bool previous_there = false;
  if (company.previous()) {
    db::Connection* previous = nullptr;
    try {
      previous = &company.previous()->Connection();
    } catch (const Error&) {
      // On the server the year before's catalogue is named whether it exists
      // or not; a file that was found is there, and must be read.
      if (!company.files().server) throw;
    }
    if (previous) {
      AddYear(*previous, day, true, only, entries);
      previous_there = true;
    }
  }
  AddYear(company.current()->Connection(), day, !previous_there, only, entries);

  std::vector<SiteHolding> holdings;
  for (const auto& [key, of] : entries) {
    const double held = -of.balance;
    if (held == 0) continue;
    holdings.push_back({key.first, key.second, held,
                        held > 0 ? LatestCovering(of.issued, held) : std::vector<ChallanOut>{}});
  }
  return holdings;
}

}  // namespace rnt::refhost
