#include "scenarios/scenario.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "db/work_table.h"
#include "engine/queries.h"
#include "rnt/value_text.h"

namespace rnt::testing {

using nlohmann::json;

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CaseCompany, year_start, previous_year, parties,
                                                items, rate_masters, rates, settings, day_rule,
                                                vouchers)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ScenarioRun, party, rent_date, search_date, user,
                                                previous_year, files_only, status, refusal, lines,
                                                columns, rows, any_order, unchanged)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ScenarioQuery, query, columns, rows, any_order)

namespace {

namespace queries = engine::queries;

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

// Reads one part of a case, naming it in front of what is wrong there.
void Within(const std::string& part, const std::function<void()>& read) {
  try {
    read();
  } catch (const std::exception& error) {
    Bad(part + ": " + error.what());
  }
}

// The object's keys are those of `known` (the defaults, written as a case
// writes them), each with a value of the same kind.
void CheckKeys(const json& object, const json& known) {
  if (!object.is_object()) Bad(object.dump() + " is not an object");
  for (const auto& [key, value] : object.items()) {
    if (!known.contains(key)) Bad("unknown key '" + key + "'");
    if (std::string_view(known[key].type_name()) != value.type_name()) {
      Bad(key + ": cannot read " + value.dump());
    }
  }
}

template <typename T>
T Read(const json& object) {
  CheckKeys(object, T{});
  return object.get<T>();
}

Date DateOf(const std::string& text, const std::string& what) {
  std::optional<Date> date = ParseDateText(text);
  if (!date) Bad(what + " '" + text + "' is not a date");
  return *date;
}

// The words of a voucher, rate or query line, read from the left; a word in
// single quotes may hold blanks (a challan numbered " C0 ").
class Words {
 public:
  explicit Words(const std::string& text) {
    std::istringstream in(text);
    for (std::string word; in >> std::quoted(word, '\'');) words_.push_back(word);
  }
  bool Take(const std::string& keyword) {
    return next_ < words_.size() && words_[next_] == keyword && ++next_;
  }
  std::string Next(const std::string& what) {
    if (next_ == words_.size()) Bad(what + " missing");
    return words_[next_++];
  }
  // A number: `null` for none where the host may leave the column empty,
  // "20%" where it is a percentage.
  std::optional<double> Number(const std::string& what, bool nullable = false,
                               bool percent = false) {
    std::string word = Next(what);
    if (nullable && word == "null") return std::nullopt;
    std::optional<double> value;
    if (!percent || word.ends_with('%'))
      value = ParseNumberText(word.substr(0, word.size() - percent));
    if (!value) Bad(what + " '" + word + "' is not a number" + (percent ? " with %" : ""));
    return value;
  }
  int32_t Code(const std::string& what) { return static_cast<int32_t>(*Number(what)); }
  // The code after `keyword` when it comes next, `fallback` when not.
  int32_t CodeAfter(const std::string& keyword, int32_t fallback) {
    return Take(keyword) ? Code(keyword) : fallback;
  }
  // Whether nothing but the party is left.
  bool AtParty() const { return next_ == words_.size() || words_[next_] == "party"; }
  // The party named last ("party 13"), Sharma Builders (12) when none is.
  int32_t Party() {
    const int32_t party = CodeAfter("party", 12);
    End();
    return party;
  }
  void End() const {
    if (next_ < words_.size()) Bad("unexpected '" + words_[next_] + "'");
  }

 private:
  std::vector<std::string> words_;
  size_t next_ = 0;
};

// A voucher in its short form (tests/scenarios/README.md), into the year
// file that holds its day.
void AddVoucher(CompanyYear& current, CompanyYear* previous, Date year_start,
                const std::string& text) {
  Words words(text);
  const std::string day = words.Next("date"), kind = words.Next("kind");
  const bool in_previous = DateOf(day, "date") < year_start;
  if (in_previous && !previous) Bad("dated before the year, and no previous year's file");
  CompanyYear& year = in_previous ? *previous : current;
  if (kind == "issue" || kind == "return") {
    const std::string challan = words.Next("challan");
    const int32_t item = words.Code("item");
    const double quantity = *words.Number("quantity");
    const int32_t ref = words.CodeAfter("ref", 0), tran_type = words.CodeAfter("trantype", 0),
                  rec_type = words.CodeAfter("rectype", 3), party = words.Party();
    if (kind == "issue") year.Issue(day, challan, item, party, quantity, ref, tran_type, rec_type);
    if (kind == "return")
      year.Return(day, challan, item, party, quantity, ref, tran_type, rec_type);
  } else if (kind == "opening" || kind == "lost" || kind == "damaged") {
    const int32_t item = words.Code("item");
    const std::optional<double> quantity = words.Number("quantity", kind != "opening");
    const double percent = kind == "damaged" ? *words.Number("damage", false, true) : 0;
    const std::string marker = words.Take("marker") ? words.Next("marker")
                               : kind == "damaged"  ? "Damage"
                                                    : "Lost";
    const int32_t party = words.Party();
    if (kind == "opening") year.Opening(day, item, party, *quantity);
    if (kind == "lost") year.Lost(day, item, party, quantity, marker);
    if (kind == "damaged") year.Damaged(day, item, party, quantity, percent, marker);
  } else if (kind == "rent") {
    const int32_t code = words.Code("rent voucher code");
    std::vector<CompanyYear::CarriedItem> items;
    while (words.Take(items.empty() ? "carries" : "and")) {
      CompanyYear::CarriedItem& item = items.emplace_back();
      item.item = words.Code("item");
      item.carried = words.Next("quantity carried");
      item.challan = words.Next("challan");
      item.challan_date = words.Next("challan date");
      item.record_type = words.CodeAfter("type", 7);
    }
    const bool rental = !words.Take("nonrental");
    year.RentVoucher(code, day, words.Party(), items, rental);
  } else {
    Bad("unknown kind '" + kind + "' (issue, return, opening, lost, damaged, rent)");
  }
}

// One value of a query, read from the case's words: a code, date or challan
// as written ('' for none); the year of a movement list and whether day
// totals count the opening entries, by a word that may be left out.
std::string QueryValue(Words& words, std::string_view*) { return words.Next("a query's value"); }
auto QueryValue(Words& words, queries::MovementYear*) {
  return words.Take("previous") ? queries::MovementYear::kPrevious
                                : queries::MovementYear::kCurrent;
}
auto QueryValue(Words& words, queries::OpeningEntries*) {
  return words.Take("without-openings") ? queries::OpeningEntries::kLeftOut
                                        : queries::OpeningEntries::kCounted;
}

// A query's text built, as the engine builds it, from the words after its name.
using QueryText = std::function<std::string(Words&)>;
template <typename... Values>
QueryText Query(std::string (*make)(Values...)) {
  return [make](Words& words) {
    // Read from the left: the braces keep the order.
    std::tuple values{QueryValue(words, static_cast<std::decay_t<Values>*>(nullptr))...};
    return std::apply(make, values);
  };
}

// The queries a case may ask, by the engine's names for them.
#define RNT_QUERY(name) \
  { #name, Query(queries::name) }
const std::map<std::string, QueryText> kQueries = {
    RNT_QUERY(PreviousRentVoucher),  RNT_QUERY(RentRate),      RNT_QUERY(PricesOf),
    RNT_QUERY(ReplacementRate),      RNT_QUERY(DamageCharge),  RNT_QUERY(LostItems),
    RNT_QUERY(DamagedItems),         RNT_QUERY(MovementList),  RNT_QUERY(DayTotalsByDate),
    RNT_QUERY(DayTotalsByReference), RNT_QUERY(ChallanTotals), RNT_QUERY(LookAheadTotals),
    RNT_QUERY(VoucherItems),         RNT_QUERY(ItemMovements), RNT_QUERY(UnlistedItemMovements)};
#undef RNT_QUERY

ScenarioRun ReadRun(const json& object) {
  ScenarioRun run = Read<ScenarioRun>(object);
  DateOf(run.rent_date, "rent_date");
  if (!run.search_date.empty()) DateOf(run.search_date, "search_date");
  if (run.status != 0 && run.status != 1 && run.status != 3) {
    Bad("status: " + std::to_string(run.status) + " is not 0, 1 or 3");
  }
  for (const std::string& column : run.columns) {
    if (std::ranges::count(db::WorkTableColumns(), column) == 0) {
      Bad("columns: '" + column + "' is not a column of atShut");
    }
  }
  return run;
}

ScenarioQuery ReadQuery(const json& object) {
  ScenarioQuery query = Read<ScenarioQuery>(object);
  Words words(query.query);
  const std::string name = words.Next("the query's name");
  const auto make = kQueries.find(name);
  if (make == kQueries.end()) Bad("no query named '" + name + "'");
  query.sql = make->second(words);
  words.End();
  return query;
}

Scenario Read(const json& doc) {
  json known = CaseCompany{};
  known.update({{"about", ""}, {"runs", json::array()}, {"queries", json::array()}});
  CheckKeys(doc, known);
  if (doc.value("about", "").empty()) Bad("about: missing");
  Scenario scenario = MakeCompany(doc.get<CaseCompany>());
  const json runs = doc.value("runs", json::array()), queries = doc.value("queries", json::array());
  for (size_t i = 0; i < runs.size(); ++i) {
    Within("runs[" + std::to_string(i) + "]", [&] { scenario.runs.push_back(ReadRun(runs[i])); });
  }
  for (size_t i = 0; i < queries.size(); ++i) {
    Within("queries[" + std::to_string(i) + "]",
           [&] { scenario.queries.push_back(ReadQuery(queries[i])); });
  }
  if (runs.empty() && queries.empty()) Bad("runs: none, and no queries");
  return scenario;
}

}  // namespace

Scenario MakeCompany(const CaseCompany& company) {
  const Date start = DateOf(company.year_start, "year_start");
  Scenario scenario;
  scenario.current = std::make_unique<CompanyYear>(start);
  if (company.previous_year) {
    scenario.previous =
        std::make_unique<CompanyYear>(Date::FromYmd(start.year() - 1, start.month(), start.day()));
  }
  FillCompany(company, *scenario.current, scenario.previous.get());
  return scenario;
}

void FillCompany(const CaseCompany& company, CompanyYear& current, CompanyYear* previous) {
  for (CompanyYear* year : {&current, previous}) {
    if (!year) continue;
    for (const auto& [code, name] : company.parties) {
      const auto master = company.rate_masters.find(code);
      year->Party(
          Words(code).Code("party"), name,
          master == company.rate_masters.end() ? std::nullopt : std::optional(master->second));
    }
    for (const auto& [code, name] : company.items) year->Item(Words(code).Code("item"), name);
  }
  if (!company.settings.empty()) {
    if (company.settings.size() != 2) Bad("settings: not [bs1, bs2]");
    current.Settings(company.settings[0], company.settings[1]);
  }
  current.DayRule(company.day_rule);
  if (previous) previous->DayRule(company.day_rule);
  // ITEM RENT-PER-DAY [VALUE-OF-ONE-PIECE] [party N], into the current year.
  for (const std::string& rate : company.rates) {
    Within("rates: '" + rate + "'", [&] {
      Words words(rate);
      const int32_t item = words.Code("item");
      const std::optional<double> per_day = words.Number("rent per day", true);
      const std::optional<double> value =
          words.AtParty() ? 0.0 : words.Number("value of one piece", true);
      current.Rate(words.Party(), item, per_day, value);
    });
  }
  const Date start = DateOf(company.year_start, "year_start");
  for (const std::string& voucher : company.vouchers) {
    Within("vouchers: '" + voucher + "'", [&] { AddVoucher(current, previous, start, voucher); });
  }
}

Scenario LoadScenario(const std::filesystem::path& file) {
  try {
    std::ifstream in(file);
    if (!in) Bad("cannot be read");
    return Read(json::parse(in));
  } catch (const std::exception& error) {
    Bad(file.filename().string() + ": " + error.what());
  }
}

}  // namespace rnt::testing
