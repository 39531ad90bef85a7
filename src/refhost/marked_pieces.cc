#include "refhost/marked_pieces.h"

#include <algorithm>
#include <map>

#include "core/text_util.h"
#include "db/recordset.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

std::string Text(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string()
                                           : std::string(TrimBlanks(value.ToText()));
}

// The value of one piece of each item for the party: its own rows only, the
// first that the database returns for an item, as the charges take it.
std::map<std::int32_t, double> PieceValues(db::Connection& company, std::int32_t party_code) {
  std::map<std::int32_t, double> values;
  db::Recordset rows;
  rows.Open("select MasterCode2, Value3 from at_PartyPriceConfig where MasterCode1=" +
                std::to_string(party_code),
            company);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("MasterCode2");
    const Variant value = rows.Field("Value3");
    if (item.IsNumber() && value.IsNumber()) values.emplace(item.ToInt32(), value.ToDouble());
  }
  return values;
}

// The marked lines of one year's file, added to `pieces`.
void ReadYear(db::Connection& year, std::int32_t party_code, Date first, Date last,
              const std::map<std::int32_t, double>& values, std::vector<MarkedPiece>& pieces) {
  db::Recordset rows;
  rows.Open(
      "select t2.MasterCode1 as itm, t2.Date as dte, t2.VchNo as vno, t2.Value1 as qty, itd.Desc1 "
      "as mark, itd.Desc2 as pct, (select max([No]) from Tran3 where Tran3.VchCode=t2.VchCode) as "
      "sno from ItemDesc as itd, Tran2 as t2 where itd.VchCode=t2.VchCode and itd.SrNo=t2.SrNo "
      "and itd.Desc1 in ('Lost','L','Damage','D') and t2.Cm1=" +
          std::to_string(party_code) + " and t2.Date>=#" + FormatDate(first, "dd-mmm-yyyy") +
          "# and t2.Date<=#" + FormatDate(last, "dd-mmm-yyyy") +
          "# order by t2.MasterCode1, t2.Date, t2.VchCode, t2.SrNo",
      year);
  for (; !rows.Eof(); rows.MoveNext()) {
    const Variant item = rows.Field("itm");
    const Variant date = rows.Field("dte");
    if (!item.IsNumber() || date.IsNull()) continue;
    const std::string mark = Text(rows.Field("mark"));
    MarkedPiece piece{item.ToInt32(),
                      mark == "Lost" || mark == "L",
                      date.ToDate(),
                      Text(rows.Field("vno")),
                      Val(Text(rows.Field("qty"))),
                      Val(Text(rows.Field("pct"))),
                      std::nullopt};
    if (piece.challan.empty()) piece.challan = Text(rows.Field("sno"));
    if (auto value = values.find(piece.item); value != values.end()) {
      piece.piece_value = value->second;
    }
    pieces.push_back(std::move(piece));
  }
}

}  // namespace

std::vector<MarkedPiece> ReadMarkedPieces(db::Connection& company, std::int32_t party_code,
                                          Date first, Date last, db::Connection* previous_year) {
  const std::map<std::int32_t, double> values = PieceValues(company, party_code);
  std::vector<MarkedPiece> pieces;
  if (previous_year) ReadYear(*previous_year, party_code, first, last, values, pieces);
  ReadYear(company, party_code, first, last, values, pieces);
  // By item, then date, as the statement looks them up, whichever year holds them.
  std::stable_sort(pieces.begin(), pieces.end(),
                   [](const MarkedPiece& a, const MarkedPiece& b) { return a.item < b.item; });
  return pieces;
}

}  // namespace rnt::refhost
