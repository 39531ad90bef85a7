#include "refhost/year_answers.h"

#include <vector>

#include "db/query_shape.h"
#include "db/recordset.h"
#include "engine/queries.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

namespace queries = engine::queries;
using Filter = engine::DayTotalsFilter;

// One of the query texts answered here, taken apart: where its values stand
// among the query's values, and what the rest of them must be.
struct Template {
  enum class Family { kDayTotals, kLost, kDamaged };
  Family family = Family::kDayTotals;
  Filter::Kind kind = Filter::Kind::kWholeDay;
  queries::OpeningEntries openings = queries::OpeningEntries::kCounted;
  std::vector<Variant> values;
  int date = -1, party = -1, item = -1;
  std::vector<int> references, challans;
};

// Values that stand for the query's own in the templates; no query text
// holds them as constants.
const Date kMarkerDate = Date::FromYmd(1904, 2, 29);
constexpr std::string_view kMarkerDateText = "29-Feb-1904";
constexpr int32_t kMarkerParty = 987654, kMarkerItem = 876543, kMarkerReference = 765432;
constexpr std::string_view kMarkerChallan = "zq~challan";

Template Of(Template::Family family, Filter::Kind kind = Filter::Kind::kWholeDay,
            queries::OpeningEntries openings = queries::OpeningEntries::kCounted) {
  Template shape;
  shape.family = family;
  shape.kind = kind;
  shape.openings = openings;
  return shape;
}

void Add(std::multimap<std::string, Template>& templates, const std::string& sql, Template shape) {
  db::QueryShape parts = db::ShapeQuery(sql);
  for (int index = 0; index < static_cast<int>(parts.params.size()); ++index) {
    const Variant& value = parts.params[static_cast<size_t>(index)];
    if (value == Variant(kMarkerDate)) shape.date = index;
    if (value == Variant(kMarkerParty)) shape.party = index;
    if (value == Variant(kMarkerItem)) shape.item = index;
    if (value == Variant(kMarkerReference)) shape.references.push_back(index);
    if (value == Variant(std::string(kMarkerChallan))) shape.challans.push_back(index);
  }
  shape.values = std::move(parts.params);
  templates.emplace(std::move(parts.key), std::move(shape));
}

const std::multimap<std::string, Template>& Templates() {
  static const std::multimap<std::string, Template> templates = [] {
    std::multimap<std::string, Template> all;
    const std::string party = std::to_string(kMarkerParty), item = std::to_string(kMarkerItem);
    const std::string day(kMarkerDateText), challan(kMarkerChallan);
    using Family = Template::Family;
    for (queries::OpeningEntries openings :
         {queries::OpeningEntries::kCounted, queries::OpeningEntries::kLeftOut}) {
      Add(all, queries::DayTotalsByDate(day, party, item, openings),
          Of(Family::kDayTotals, Filter::Kind::kWholeDay, openings));
      Add(all, queries::ChallanTotals(challan, day, party, item, openings),
          Of(Family::kDayTotals, Filter::Kind::kChallan, openings));
      Add(all, queries::LookAheadTotals(challan, day, party, item, openings),
          Of(Family::kDayTotals, Filter::Kind::kLookAhead, openings));
    }
    Add(all, queries::DayTotalsByReference(std::to_string(kMarkerReference), day, party, item),
        Of(Family::kDayTotals, Filter::Kind::kReference));
    Add(all, queries::LostItems(item, party, day), Of(Family::kLost));
    Add(all, queries::DamagedItems(item, party, day), Of(Family::kDamaged));
    return all;
  }();
  return templates;
}

bool IsWholeNumber(const Variant& value) {
  return value.IsNumber() && value.ToDouble() == static_cast<int32_t>(value.ToDouble());
}

// Whether the query's values fit the template: its constants as they stand,
// a whole number for the party and the item, a date for the day, and one
// reference code and one challan number wherever they repeat.
bool Fits(const Template& shape, const std::vector<Variant>& values) {
  if (values.size() != shape.values.size()) return false;
  std::vector<bool> variable(values.size(), false);
  for (int index : {shape.date, shape.party, shape.item}) {
    if (index >= 0) variable[static_cast<size_t>(index)] = true;
  }
  for (const std::vector<int>* repeated : {&shape.references, &shape.challans}) {
    for (int index : *repeated) {
      variable[static_cast<size_t>(index)] = true;
      if (!(values[static_cast<size_t>(index)] == values[static_cast<size_t>(repeated->front())])) {
        return false;
      }
    }
  }
  for (size_t index = 0; index < values.size(); ++index) {
    if (!variable[index] && !(values[index] == shape.values[index])) return false;
  }
  if (shape.date < 0 || shape.party < 0 || shape.item < 0) return false;
  if (values[static_cast<size_t>(shape.date)].type() != VariantType::kDate) return false;
  if (!IsWholeNumber(values[static_cast<size_t>(shape.party)]) ||
      !IsWholeNumber(values[static_cast<size_t>(shape.item)])) {
    return false;
  }
  if (!shape.references.empty() &&
      !values[static_cast<size_t>(shape.references.front())].IsNumber()) {
    return false;
  }
  return shape.challans.empty() ||
         values[static_cast<size_t>(shape.challans.front())].type() == VariantType::kText;
}

template <typename Held>
const Held* ReadOnce(std::map<std::string, std::optional<Held>>& held, const std::string& party,
                     db::Connection& connection) {
  auto found = held.find(party);
  if (found == held.end()) {
    db::Recordset rows;
    rows.Open(Held::Query(party), connection);
    found = held.emplace(party, Held::FromRows(rows)).first;
  }
  return found->second ? &*found->second : nullptr;
}

}  // namespace

const engine::PartyStock* YearAnswers::StockOf(const std::string& party,
                                               db::Connection& connection) {
  return ReadOnce(stock_, party, connection);
}

const engine::PartyMarkedLines* YearAnswers::MarkedLinesOf(const std::string& party,
                                                           db::Connection& connection) {
  return ReadOnce(marked_, party, connection);
}

std::shared_ptr<HostRecordset> YearAnswers::TryAnswer(std::string_view sql,
                                                      db::Connection& connection) {
  db::QueryShape shape;
  try {
    shape = db::ShapeQuery(sql);
  } catch (const Error&) {
    return nullptr;  // the database says what is wrong with it
  }
  // Texts that differ only in their constants (the lost and the damaged
  // pieces' markers) share a shape.
  const Template* fitting = nullptr;
  auto [first, last] = Templates().equal_range(shape.key);
  for (auto known = first; known != last && !fitting; ++known) {
    if (Fits(known->second, shape.params)) fitting = &known->second;
  }
  if (!fitting) return nullptr;
  const Template& query = *fitting;
  const std::string party = shape.params[static_cast<size_t>(query.party)].ToText();
  const auto item = static_cast<int32_t>(shape.params[static_cast<size_t>(query.item)].ToDouble());
  const Date day = shape.params[static_cast<size_t>(query.date)].date();

  if (query.family != Template::Family::kDayTotals) {
    const engine::PartyMarkedLines* marked = MarkedLinesOf(party, connection);
    if (!marked) return nullptr;
    return marked->Lines(query.family == Template::Family::kLost
                             ? engine::PartyMarkedLines::Kind::kLost
                             : engine::PartyMarkedLines::Kind::kDamaged,
                         item, day.serial());
  }
  const engine::PartyStock* stock = StockOf(party, connection);
  if (!stock) return nullptr;
  Filter filter{query.kind, Variant(), std::string(), query.openings};
  if (!query.references.empty()) {
    filter.reference = shape.params[static_cast<size_t>(query.references.front())];
  }
  if (!query.challans.empty()) {
    filter.challan = shape.params[static_cast<size_t>(query.challans.front())].text();
  }
  std::vector<std::vector<Variant>> rows;
  if (std::optional<engine::DayTotalsRow> row = stock->DayTotals(day, item, filter)) {
    rows.push_back({row->master_code1, row->master_code2, row->a1, row->a2});
  }
  return std::make_shared<engine::RowsRecordset>(
      std::vector<std::string>{"MasterCode1", "MasterCode2", "a1", "a2"}, std::move(rows));
}

}  // namespace rnt::refhost
