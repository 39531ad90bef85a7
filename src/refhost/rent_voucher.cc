#include "refhost/rent_voucher.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "db/recordset.h"
#include "refhost/company_transaction.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr int32_t kRentVoucherType = 9;
constexpr int32_t kCarriedLineType = 7;

// One item line of the voucher: what is still with the party, and the
// challan on which the item last moved.
struct CarriedItem {
  int32_t item = 0;
  double quantity = 0;
  std::string challan;
  std::string challan_date;
};

// What the rent lines leave with the party at the end of the closing date,
// in the order in which the items' lines were first written; items returned
// in full carry nothing and are left out.
std::vector<CarriedItem> CarriedByLines(const std::vector<RentLine>& lines) {
  std::vector<CarriedItem> items;
  for (const RentLine& line : lines) {
    // Lost and damage lines charge pieces already gone; only rent lines
    // follow what the party holds.
    const Variant record_type = line.Get("RecType");
    const Variant code = line.Get("Code1");
    const Variant balance = line.Get("D4");
    if (!record_type.IsNumber() || record_type.ToDouble() != 1 || !code.IsNumber()) continue;
    const int32_t item = code.ToInt32();
    auto it = std::find_if(items.begin(), items.end(),
                           [item](const CarriedItem& carried) { return carried.item == item; });
    if (it == items.end()) it = items.insert(items.end(), CarriedItem{item, 0, "", ""});
    it->quantity = balance.IsNumber() ? balance.ToDouble() : 0;
  }
  std::erase_if(items, [](const CarriedItem& carried) { return carried.quantity <= 0; });
  return items;
}

// Gives each carried item the challan number and date of its latest stock
// entry in the year's data, where it has none yet.
void AddLatestChallans(db::Connection& year, int32_t party_code, Date closing_date,
                       std::vector<CarriedItem>& items) {
  const std::string up_to = "#" + FormatDate(closing_date, "dd-mmm-yyyy") + "#";
  const std::string movements = " and RecType=3 and VchType in (4,11,9) and Date<=" + up_to;
  db::Recordset rows;
  rows.Open(
      "select t.MasterCode1 as item, t.Date as day, t.[No] as challan from Tran3 as t "
      "where t.MasterCode2=" +
          std::to_string(party_code) + movements +
          " and t.Date=(select max(u.Date) from Tran3 as u where "
          "u.MasterCode2=t.MasterCode2 and u.MasterCode1=t.MasterCode1" +
          movements + ") order by t.MasterCode1, t.[No]",
      year);
  std::map<int32_t, std::pair<std::string, std::string>> latest;
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("item");
    const Variant challan = rows.Field("challan");
    if (!item.IsNumber() || rows.Field("day").IsNull()) continue;
    latest.try_emplace(item.ToInt32(), challan.IsNull() ? "" : std::string(challan.ToText()),
                       FormatDate(rows.Field("day").ToDate(), "dd-mm-yyyy"));
  }
  for (CarriedItem& carried : items) {
    auto found = latest.find(carried.item);
    if (!carried.challan_date.empty() || found == latest.end()) continue;
    carried.challan = found->second.first;
    carried.challan_date = found->second.second;
  }
}

// The highest voucher code of any voucher table, so that the new voucher's
// lines meet no other voucher's descriptions.
int32_t HighestVoucherCode(db::Connection& company) {
  int32_t highest = 0;
  for (const char* table : {"Tran1", "Tran2", "Tran3", "ItemDesc", "VchOtherInfo"}) {
    db::Recordset rows;
    rows.Open(std::string("select max(VchCode) as m from ") + table, company);
    if (!rows.Eof() && rows.Field("m").IsNumber()) {
      highest = std::max(highest, rows.Field("m").ToInt32());
    }
  }
  return highest;
}

}  // namespace

AlreadyBilled::AlreadyBilled(PostedRentVoucher voucher)
    : Error("rent is billed up to " + FormatDate(voucher.billed_up_to, "dd-mm-yyyy") +
            " by rent voucher " + std::to_string(voucher.code)),
      voucher_(voucher) {}

int32_t PostRentVoucher(const CompanyData& company, int32_t party_code, Date closing_date,
                        const std::vector<RentLine>& lines,
                        const std::function<void(std::int32_t code)>& keep) {
  // A voucher without lines would say that rent was billed where none was.
  if (lines.empty()) {
    throw Error("the run made no rent lines up to " + FormatDate(closing_date, "dd-mm-yyyy") +
                ": there is nothing to bill");
  }
  std::vector<CarriedItem> items = CarriedByLines(lines);
  db::Connection& current = company.current()->Connection();
  AddLatestChallans(current, party_code, closing_date, items);
  if (company.previous()) {
    // An item that has not moved since the year before came on a challan of
    // that year.
    if (std::any_of(items.begin(), items.end(),
                    [](const CarriedItem& carried) { return carried.challan_date.empty(); })) {
      AddLatestChallans(company.previous()->Connection(), party_code, closing_date, items);
    }
  }

  CompanyTransaction transaction(current);
  // A voucher behind a later one would never be continued from, and one on
  // the same day would bill its days twice.
  db::Recordset later;
  later.Open("select VchCode, Date from Tran1 where VchType=" + std::to_string(kRentVoucherType) +
                 " and MasterCode1=" + std::to_string(party_code) + " and Date>=#" +
                 FormatDate(closing_date, "dd-mmm-yyyy") + "# Order By Date desc",
             current);
  if (!later.Eof()) {
    throw AlreadyBilled({later.Field("VchCode").ToInt32(), later.Field("Date").ToDate()});
  }

  const int32_t code = HighestVoucherCode(current) + 1;
  const std::string number = "RENT-" + std::to_string(code);
  db::Backend& tables = *current.backend();
  tables.Insert("Tran1", {{"VchCode", code},
                          {"VchType", kRentVoucherType},
                          {"Date", closing_date},
                          {"VchNo", number},
                          {"MasterCode1", party_code}});
  tables.Insert("VchOtherInfo", {{"VchCode", code}, {"OF1", "R"}, {"OF2", "Rental"}});
  int32_t line = 0;
  for (const CarriedItem& item : items) {
    ++line;
    tables.Insert("Tran2", {{"VchCode", code},
                            {"SrNo", line},
                            {"RecType", kCarriedLineType},
                            {"VchType", kRentVoucherType},
                            {"Date", closing_date},
                            {"VchNo", number},
                            {"MasterCode1", item.item},
                            {"Cm1", party_code},
                            {"Value1", item.quantity}});
    tables.Insert("ItemDesc", {{"VchCode", code},
                               {"SrNo", line},
                               {"Desc6", NumberText(item.quantity)},
                               {"Desc11", item.challan},
                               {"Desc12", item.challan_date}});
  }
  if (keep) keep(code);
  transaction.Commit();
  return code;
}

}  // namespace rnt::refhost
