#include "refhost/rent_voucher.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text_util.h"
#include "db/recordset.h"
#include "refhost/rent_lines.h"
#include "rnt/error.h"
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

// What the user's rent lines leave with the party.
struct Carried {
  std::vector<CarriedItem> items;  // in the order the items' lines were written
  std::optional<Date> last_day;    // the latest day charged
};

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToText();
}

std::string DayText(const Variant& value) {
  std::string text = Text(value);
  std::optional<Date> day = ParseDateText(text);
  return day ? FormatDate(*day, "dd-mm-yyyy") : text;
}

Carried CarriedByLines(const std::vector<RentLine>& lines) {
  struct Walked {
    CarriedItem carried;
    bool moved = false;  // a line of the item named its challan in RNo
    std::string last_challan;
    std::string last_challan_date;
  };
  std::vector<Walked> walked;
  Carried result;
  for (const RentLine& line : lines) {
    // Lost and damage lines charge pieces already gone; only rent lines
    // follow what the party holds.
    const Variant record_type = line.Get("RecType");
    const Variant code = line.Get("Code1");
    if (!record_type.IsNumber() || record_type.ToDouble() != 1 || !code.IsNumber()) continue;
    const int32_t item = code.ToInt32();
    auto it = std::find_if(walked.begin(), walked.end(),
                           [item](const Walked& w) { return w.carried.item == item; });
    if (it == walked.end()) {
      it = walked.insert(walked.end(), Walked{});
      it->carried.item = item;
    }
    it->carried.quantity = Val(Text(line.Get("D4")));
    const std::string challan(TrimBlanks(Text(line.Get("RNo"))));
    if (!challan.empty()) {
      it->moved = true;
      it->carried.challan = challan;
      it->carried.challan_date = DayText(line.Get("Dte1"));
    }
    it->last_challan = TrimBlanks(Text(line.Get("ChallanNo")));
    it->last_challan_date = DayText(line.Get("ChallanDate"));
    if (std::optional<Date> end = ParseDateText(Text(line.Get("Dte2")))) {
      result.last_day = std::max(result.last_day.value_or(*end), *end);
    }
  }
  for (Walked& w : walked) {
    // Nothing left with the party: the next run starts the item from nothing.
    if (w.carried.quantity <= 0) continue;
    if (!w.moved) {
      w.carried.challan = std::move(w.last_challan);
      w.carried.challan_date = std::move(w.last_challan_date);
    }
    result.items.push_back(std::move(w.carried));
  }
  return result;
}

// One transaction on the company database, rolled back unless committed, so
// that a voucher is written whole or not at all. It takes the write lock at
// once, so that two postings cannot pick the same voucher code.
class Transaction {
 public:
  explicit Transaction(db::Connection& company) : backend_(company.backend()) {
    const bool file = backend_->dialect() == db::Dialect::kSqlite;
    backend_->ExecuteNative(file ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = true;
    if (!file) backend_->ExecuteNative("LOCK TABLE tran1 IN SHARE ROW EXCLUSIVE MODE");
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (!open_) return;
    try {
      backend_->ExecuteNative("ROLLBACK");
    } catch (const Error&) {
      // A connection lost mid-way has dropped the transaction with it.
    }
  }

  void Commit() {
    backend_->ExecuteNative("COMMIT");
    open_ = false;
  }

 private:
  std::shared_ptr<db::Backend> backend_;
  bool open_ = false;
};

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

int32_t PostRentVoucher(db::Connection& company, int32_t party_code, Date rent_date,
                        std::string_view user_name) {
  const std::string on =
      "party " + std::to_string(party_code) + " on " + FormatDate(rent_date, "dd-mm-yyyy") + ": ";
  const Carried carried = CarriedByLines(ReadRentLines(company, user_name));
  if (!carried.last_day) {
    throw Error("no rent voucher for " + on + "user '" + std::string(user_name) +
                "' has no rent lines");
  }
  // A voucher dated on another day than the one after the lines' last day
  // would charge days twice or leave days uncharged in the next run.
  if (*carried.last_day != rent_date.AddDays(-1)) {
    throw Error("no rent voucher for " + on + "the rent lines of user '" + std::string(user_name) +
                "' were calculated up to " + FormatDate(*carried.last_day, "dd-mm-yyyy") +
                ", for the rent date " + FormatDate(carried.last_day->AddDays(1), "dd-mm-yyyy"));
  }

  Transaction transaction(company);
  // A run refuses a rent date on or before the latest voucher, so a voucher
  // behind a later one would never be continued from.
  db::Recordset later;
  later.Open("select VchCode, Date from Tran1 where VchType=" + std::to_string(kRentVoucherType) +
                 " and MasterCode1=" + std::to_string(party_code) + " and Date>=#" +
                 FormatDate(rent_date, "dd-mmm-yyyy") + "# Order By Date",
             company);
  if (!later.Eof()) {
    throw Error("no rent voucher for " + on + "rent voucher " + later.Field("VchCode").ToText() +
                " of " + FormatDate(later.Field("Date").ToDate(), "dd-mm-yyyy") +
                " is already posted");
  }

  const int32_t code = HighestVoucherCode(company) + 1;
  const std::string number = "RENT-" + std::to_string(code);
  db::Backend& tables = *company.backend();
  tables.Insert("Tran1", {{"VchCode", code},
                          {"VchType", kRentVoucherType},
                          {"Date", rent_date},
                          {"VchNo", number},
                          {"MasterCode1", party_code}});
  tables.Insert("VchOtherInfo",
                {{"VchCode", code}, {"OF1", std::string(user_name)}, {"OF2", "Rental"}});
  int32_t line = 0;
  for (const CarriedItem& item : carried.items) {
    ++line;
    tables.Insert("Tran2", {{"VchCode", code},
                            {"SrNo", line},
                            {"RecType", kCarriedLineType},
                            {"VchType", kRentVoucherType},
                            {"Date", rent_date},
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
  transaction.Commit();
  return code;
}

}  // namespace rnt::refhost
