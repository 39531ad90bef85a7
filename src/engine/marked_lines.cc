#include "engine/marked_lines.h"

#include "core/text_util.h"
#include "rnt/error.h"

namespace rnt::engine {
namespace {

constexpr const char* kColumns[] = {"vchcode", "desc1",       "dsc2", "value1",
                                    "value2",  "MasterCode1", "Cm1"};

bool Marks(PartyMarkedLines::Kind kind, const Variant& marker) {
  if (marker.type() != VariantType::kText) return false;
  const std::string& text = marker.text();
  return kind == PartyMarkedLines::Kind::kLost ? text == "Lost" || text == "L"
                                               : text == "Damage" || text == "D";
}

}  // namespace

std::string PartyMarkedLines::Query(std::string_view party_code) {
  return "select itd.vchcode,itd.desc1,itd.desc2 as dsc2,value1,value2,MasterCode1,Cm1,t2.Date as "
         "day from itemdesc as itd,Tran2 as t2 where itd.Desc1 in ('Lost','L','Damage','D') and "
         "itd.vchcode=t2.vchcode and itd.srno=t2.srno and t2.cm1=" +
         std::string(party_code);
}

std::optional<PartyMarkedLines> PartyMarkedLines::FromRows(HostRecordset& rows) {
  PartyMarkedLines marked;
  for (; !rows.Eof(); rows.MoveNext()) {
    Variant item = rows.Field("MasterCode1");
    Variant day = rows.Field("day");
    if (item.IsNull() || day.IsNull()) continue;  // no lookup's item or day matches them
    if (item.type() != VariantType::kInt32 || day.type() != VariantType::kDate) {
      return std::nullopt;
    }
    std::vector<Variant> line;
    for (const char* column : kColumns) line.push_back(rows.Field(column));
    marked.lines_[{item.int32(), day.date().serial()}].push_back(std::move(line));
  }
  return marked;
}

std::shared_ptr<HostRecordset> PartyMarkedLines::Lines(Kind kind, int32_t item,
                                                       int32_t day_serial) const {
  std::vector<std::vector<Variant>> selected;
  if (auto found = lines_.find({item, day_serial}); found != lines_.end()) {
    for (const std::vector<Variant>& line : found->second) {
      if (Marks(kind, line[1])) selected.push_back(line);
    }
  }
  return std::make_shared<RowsRecordset>(
      std::vector<std::string>(std::begin(kColumns), std::end(kColumns)), std::move(selected));
}

bool RowsRecordset::Eof() {
  if (!open_) throw Error("the record set is closed");
  return current_ >= rows_.size();
}

void RowsRecordset::MoveNext() {
  if (Eof()) throw Error("no current row: the record set is at its end");
  ++current_;
}

long RowsRecordset::RecordCount() {
  if (!open_) throw Error("the record set is closed");
  return static_cast<long>(rows_.size());
}

Variant RowsRecordset::Field(std::string_view name) {
  if (Eof()) throw Error("no current row to read column '" + std::string(name) + "' of");
  for (size_t column = 0; column < columns_.size(); ++column) {
    if (EqualsIgnoringCase(columns_[column], name)) return rows_[current_][column];
  }
  throw Error("no column '" + std::string(name) + "' in the record set");
}

}  // namespace rnt::engine
