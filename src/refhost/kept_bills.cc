#include "refhost/kept_bills.h"

#include <cmath>
#include <utility>

#include "db/recordset.h"
#include "db/work_table.h"
#include "refhost/company_schema.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// Whether the company has the table; an older company has not kept bills yet.
bool HasTable(db::Connection& company, std::string_view table) {
  try {
    company.backend()->TableColumns(table);
    return true;
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    return false;
  }
}

Variant DateOrNull(const std::optional<Date>& day) { return day ? Variant(*day) : Variant::Null(); }

std::string TextOf(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : std::string(value.ToText());
}

std::optional<double> NumberOf(const Variant& value) {
  if (!value.IsNumber()) return std::nullopt;
  return value.ToDouble();
}

std::string Where(std::int32_t voucher) { return " where VchCode=" + std::to_string(voucher); }

KeptBillHead HeadOf(db::Recordset& row) {
  KeptBillHead head;
  head.voucher = row.Field("VchCode").ToInt32();
  head.party_code = row.Field("PartyCode").IsNumber() ? row.Field("PartyCode").ToInt32() : 0;
  head.party = TextOf(row.Field("Party"));
  head.company = {TextOf(row.Field("CompanyName")), TextOf(row.Field("CompanyAddress"))};
  head.first_day = row.Field("FirstDay").ToDate();
  head.last_day = row.Field("LastDay").ToDate();
  if (row.Field("ContinuedFrom").IsNumber() && !row.Field("ContinuedFromDate").IsNull()) {
    head.continued_from = PostedRentVoucher{row.Field("ContinuedFrom").ToInt32(),
                                            row.Field("ContinuedFromDate").ToDate()};
  }
  head.day_rule = TextOf(row.Field("DayRule"));
  head.amount_grouping = TextOf(row.Field("AmountGrouping"));
  head.total_hundredths = std::llround(NumberOf(row.Field("Total")).value_or(0) * 100);
  head.posted_at = TextOf(row.Field("PostedAt"));
  return head;
}

constexpr const char* kHeadColumns =
    "VchCode, PartyCode, Party, CompanyName, CompanyAddress, FirstDay, LastDay, ContinuedFrom, "
    "ContinuedFromDate, DayRule, AmountGrouping, Total, PostedAt";

}  // namespace

void KeepBill(db::Connection& company, const KeptBill& bill) {
  CreateKeptBillTables(company);
  db::Backend& tables = *company.backend();
  const KeptBillHead& head = bill.head;
  tables.Insert("RentBills",
                {{"VchCode", head.voucher},
                 {"PartyCode", head.party_code},
                 {"Party", head.party},
                 {"CompanyName", head.company.name},
                 {"CompanyAddress", head.company.address},
                 {"FirstDay", head.first_day},
                 {"LastDay", head.last_day},
                 {"ContinuedFrom",
                  head.continued_from ? Variant(head.continued_from->code) : Variant::Null()},
                 {"ContinuedFromDate",
                  DateOrNull(head.continued_from ? std::optional(head.continued_from->billed_up_to)
                                                 : std::nullopt)},
                 {"DayRule", head.day_rule},
                 {"AmountGrouping", head.amount_grouping},
                 // Hundredths are whole numbers: a double holds them exactly.
                 {"Total", static_cast<double>(head.total_hundredths) / 100},
                 {"PostedAt", head.posted_at}});
  std::int32_t number = 0;
  for (const RentLine& line : bill.lines) {
    std::vector<std::pair<std::string, Variant>> values = {{"VchCode", head.voucher},
                                                           {"LineNo", ++number}};
    for (const auto& column : line.columns) values.push_back(column);
    const auto name = bill.item_names.find(TextOf(line.Get("Code1")));
    values.emplace_back("ItemName",
                        name == bill.item_names.end() ? Variant::Null() : Variant(name->second));
    tables.Insert("RentBillLines", values);
  }
  for (const auto& [item_and_day, challans] : bill.day_challans) {
    std::string named;
    for (const std::string& challan : challans) named += (named.empty() ? "" : "\n") + challan;
    tables.Insert("RentBillChallans", {{"VchCode", head.voucher},
                                       {"Item", item_and_day.first},
                                       {"Date", item_and_day.second},
                                       {"Challans", named}});
  }
  number = 0;
  for (const MarkedPiece& piece : bill.marked_pieces) {
    tables.Insert("RentBillMarks", {{"VchCode", head.voucher},
                                    {"SrNo", ++number},
                                    {"Item", piece.item},
                                    {"Lost", piece.lost ? 1 : 0},
                                    {"Date", piece.date},
                                    {"Challan", piece.challan},
                                    {"Quantity", piece.quantity},
                                    {"Percent", piece.percent},
                                    {"PieceValue", piece.piece_value ? Variant(*piece.piece_value)
                                                                     : Variant::Null()}});
  }
}

std::optional<KeptBill> ReadKeptBill(db::Connection& company, std::int32_t voucher) {
  if (!HasTable(company, "RentBills")) return std::nullopt;
  KeptBill bill;
  {
    db::Recordset head;
    head.Open(std::string("select ") + kHeadColumns + " from RentBills" + Where(voucher), company);
    if (head.Eof()) return std::nullopt;
    bill.head = HeadOf(head);
  }
  std::string columns;
  for (std::string_view name : db::WorkTableColumns()) columns += "[" + std::string(name) + "],";
  db::Recordset lines;
  lines.Open(
      "select " + columns + "ItemName from RentBillLines" + Where(voucher) + " order by LineNo",
      company);
  for (; !lines.Eof(); lines.MoveNext()) {
    RentLine line;
    for (std::string_view name : db::WorkTableColumns()) {
      line.columns.emplace_back(std::string(name), lines.Field(name));
    }
    const std::string code = TextOf(line.Get("Code1"));
    if (!lines.Field("ItemName").IsNull()) {
      bill.item_names.emplace(code, TextOf(lines.Field("ItemName")));
    }
    bill.lines.push_back(std::move(line));
  }
  db::Recordset marks;
  marks.Open("select Item, Lost, Date, Challan, Quantity, Percent, PieceValue from RentBillMarks" +
                 Where(voucher) + " order by SrNo",
             company);
  for (; !marks.Eof(); marks.MoveNext()) {
    bill.marked_pieces.push_back({marks.Field("Item").ToInt32(), marks.Field("Lost").ToInt32() != 0,
                                  marks.Field("Date").ToDate(), TextOf(marks.Field("Challan")),
                                  NumberOf(marks.Field("Quantity")).value_or(0),
                                  NumberOf(marks.Field("Percent")).value_or(0),
                                  NumberOf(marks.Field("PieceValue"))});
  }
  db::Recordset challans;
  challans.Open("select Item, Date, Challans from RentBillChallans" + Where(voucher), company);
  for (; !challans.Eof(); challans.MoveNext()) {
    std::vector<std::string>& named =
        bill.day_challans[{challans.Field("Item").ToInt32(), challans.Field("Date").ToDate()}];
    const std::string text = TextOf(challans.Field("Challans"));
    for (size_t at = 0; at <= text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      named.push_back(text.substr(at, end - at));
      at = end + 1;
    }
  }
  return bill;
}

std::map<std::int32_t, KeptBillHead> ReadKeptBillHeads(db::Connection& company) {
  std::map<std::int32_t, KeptBillHead> heads;
  if (!HasTable(company, "RentBills")) return heads;
  db::Recordset rows;
  rows.Open(std::string("select ") + kHeadColumns + " from RentBills", company);
  for (; !rows.Eof(); rows.MoveNext()) {
    KeptBillHead head = HeadOf(rows);
    heads.emplace(head.voucher, std::move(head));
  }
  return heads;
}

void ForgetKeptBill(db::Connection& company, std::int32_t voucher) {
  for (const char* table : {"RentBills", "RentBillLines", "RentBillMarks", "RentBillChallans"}) {
    if (HasTable(company, table))
      company.Execute("delete from " + std::string(table) + Where(voucher));
  }
}

}  // namespace rnt::refhost
