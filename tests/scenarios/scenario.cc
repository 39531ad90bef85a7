#include "scenarios/scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "db/work_table.h"
#include "engine/queries.h"
#include "rnt/value_text.h"

namespace rnt::testing {
namespace {

using nlohmann::json;

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

// Reads one part of a case, naming it in front of what is wrong there.
void Within(const std::string& part, const std::function<void()>& read) {
  try {
    read();
  } catch (const std::exception& error) {
    Bad(part + ": " + error.what());
  }
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
  // A number, written with `unit` after it when one is given ("20%").
  double Number(const std::string& what, const std::string& unit = "") {
    const std::string word = Next(what);
    std::optional<double> value;
    if (word.ends_with(unit)) value = ParseNumberText(word.substr(0, word.size() - unit.size()));
    if (!value) {
      Bad(what + " '" + word + "' is not a number" + (unit.empty() ? "" : " with " + unit));
    }
    return *value;
  }
  // A number, or `null` for a column the host left empty.
  std::optional<double> NumberOrNull(const std::string& what) {
    if (Take("null")) return std::nullopt;
    return Number(what);
  }
  int32_t Code(const std::string& what) {
    const double value = Number(what);
    if (value != std::trunc(value)) Bad(what + " '" + NumberText(value) + "' is not a code");
    return static_cast<int32_t>(value);
  }
  std::string Day(const std::string& what) {
    std::string word = Next(what);
    DateOf(word, what);
    return word;
  }
  // Whether nothing but the party is left.
  bool AtParty() const { return next_ == words_.size() || words_[next_] == "party"; }
  // The party named last ("party 13"), Sharma Builders (12) when none is.
  int32_t Party() {
    const int32_t party = Take("party") ? Code("party") : 12;
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
  const std::string day = words.Day("date"), kind = words.Next("kind");
  const bool in_previous = *ParseDateText(day) < year_start;
  if (in_previous && !previous) Bad("dated before the year, and no previous year's file");
  CompanyYear& year = in_previous ? *previous : current;
  if (kind == "issue" || kind == "return") {
    const std::string challan = words.Next("challan");
    const int32_t item = words.Code("item");
    const double quantity = words.Number("quantity");
    const int32_t ref = words.Take("ref") ? words.Code("ref") : 0;
    const int32_t tran_type = words.Take("trantype") ? words.Code("TranType") : 0;
    const int32_t rec_type = words.Take("rectype") ? words.Code("RecType") : 3;
    const int32_t party = words.Party();
    if (kind == "issue") year.Issue(day, challan, item, party, quantity, ref, tran_type, rec_type);
    if (kind == "return")
      year.Return(day, challan, item, party, quantity, ref, tran_type, rec_type);
  } else if (kind == "opening" || kind == "lost" || kind == "damaged") {
    const int32_t item = words.Code("item");
    const std::optional<double> quantity = words.NumberOrNull("quantity");
    if (!quantity && kind == "opening") Bad("an opening entry needs a quantity");
    const double percent = kind == "damaged" ? words.Number("damage", "%") : 0;
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
      item.challan_date = words.Day("challan date");
      if (words.Take("type")) item.record_type = words.Code("record type");
    }
    const bool rental = !words.Take("nonrental");
    year.RentVoucher(code, day, words.Party(), items, rental);
  } else {
    Bad("unknown kind '" + kind + "' (issue, return, opening, lost, damaged, rent)");
  }
}

// One value of a query text, read from the case's words: a code, date or
// challan as written ('' for none); the kind of year or of day totals by a
// word ("previous", "without-openings") that may be left out.
template <typename T>
struct QueryValue {
  static std::string Read(Words& words) { return words.Next("a value of the query"); }
};
template <>
struct QueryValue<engine::queries::MovementYear> {
  static auto Read(Words& words) {
    return words.Take("previous") ? engine::queries::MovementYear::kPrevious
                                  : engine::queries::MovementYear::kCurrent;
  }
};
template <>
struct QueryValue<engine::queries::OpeningEntries> {
  static auto Read(Words& words) {
    return words.Take("without-openings") ? engine::queries::OpeningEntries::kLeftOut
                                          : engine::queries::OpeningEntries::kCounted;
  }
};

// A query built from the words after its name, as the engine builds it.
using QueryText = std::function<std::string(Words&)>;
template <typename... Values>
QueryText MakeQuery(std::string (*make)(Values...)) {
  return [make](Words& words) {
    // Read left to right, as the braces order them.
    std::tuple values{QueryValue<std::decay_t<Values>>::Read(words)...};
    return std::apply(make, values);
  };
}

const std::map<std::string, QueryText>& QueryTexts() {
  namespace q = engine::queries;
  static const std::map<std::string, QueryText> texts = {
      {"PreviousRentVoucher", MakeQuery(q::PreviousRentVoucher)},
      {"RentRate", MakeQuery(q::RentRate)},
      {"PricesOf", MakeQuery(q::PricesOf)},
      {"ReplacementRate", MakeQuery(q::ReplacementRate)},
      {"DamageCharge", MakeQuery(q::DamageCharge)},
      {"LostItems", MakeQuery(q::LostItems)},
      {"DamagedItems", MakeQuery(q::DamagedItems)},
      {"MovementList", MakeQuery(q::MovementList)},
      {"DayTotalsByDate", MakeQuery(q::DayTotalsByDate)},
      {"DayTotalsByReference", MakeQuery(q::DayTotalsByReference)},
      {"ChallanTotals", MakeQuery(q::ChallanTotals)},
      {"LookAheadTotals", MakeQuery(q::LookAheadTotals)},
      {"VoucherItems", MakeQuery(q::VoucherItems)},
      {"ItemMovements", MakeQuery(q::ItemMovements)},
      {"UnlistedItemMovements", MakeQuery(q::UnlistedItemMovements)}};
  return texts;
}

// The key's value as T, `fallback` when the object lacks the key.
template <typename T>
T Get(const json& object, const std::string& key, T fallback) {
  if (!object.contains(key)) return fallback;
  try {
    return object[key].get<T>();
  } catch (const json::exception&) {
    Bad(key + ": cannot read " + object[key].dump());
  }
}

void OnlyKeys(const json& object, std::set<std::string> keys) {
  if (!object.is_object()) Bad(object.dump() + " is not an object");
  keys.insert({"columns", "rows", "any_order"});
  for (const auto& [key, value] : object.items()) {
    if (!keys.count(key)) Bad("unknown key '" + key + "'");
  }
}

// The columns and rows of a run or query; a run's columns are atShut's.
void ReadRows(const json& object, ExpectedRows& expected, bool work_table) {
  expected.columns = Get(object, "columns", std::vector<std::string>());
  for (const std::string& column : expected.columns) {
    if (work_table && std::ranges::count(db::WorkTableColumns(), column) == 0) {
      Bad("columns: '" + column + "' is not a column of atShut");
    }
  }
  expected.rows = Get(object, "rows", std::vector<json>());
  for (const json& row : expected.rows) {
    if (!row.is_array() || row.size() != expected.columns.size() ||
        std::ranges::any_of(row,
                            [](const json& v) { return v.is_structured() || v.is_boolean(); })) {
      Bad("rows: " + row.dump() + " is not a row of the columns");
    }
  }
  expected.any_order = Get(object, "any_order", false);
}

ScenarioRun ReadRun(const json& object) {
  OnlyKeys(object, {"party", "rent_date", "search_date", "user", "previous_year", "files_only",
                    "status", "refusal", "lines", "unchanged"});
  ScenarioRun run;
  run.party = Get(object, "party", run.party);
  run.rent_date = Get(object, "rent_date", std::string());
  DateOf(run.rent_date, "rent_date");
  run.search_date = Get(object, "search_date", std::string());
  if (!run.search_date.empty()) DateOf(run.search_date, "search_date");
  run.user = Get(object, "user", run.user);
  run.previous_year = Get(object, "previous_year", true);
  run.files_only = Get(object, "files_only", false);
  run.status = Get(object, "status", 0);
  if (run.status != 0 && run.status != 1 && run.status != 3) {
    Bad("status: " + std::to_string(run.status) + " is not 0, 1 or 3");
  }
  run.refusal = Get(object, "refusal", std::string());
  if (object.contains("lines")) run.lines = Get(object, "lines", size_t{0});
  ReadRows(object, run, true);
  run.unchanged = Get(object, "unchanged", std::vector<std::string>());
  return run;
}

ScenarioQuery ReadQuery(const json& object) {
  OnlyKeys(object, {"query"});
  ScenarioQuery query;
  query.text = Get(object, "query", std::string());
  Words words(query.text);
  const std::string name = words.Next("the query's name");
  const auto text = QueryTexts().find(name);
  if (text == QueryTexts().end()) Bad("no query named '" + name + "'");
  query.sql = text->second(words);
  words.End();
  ReadRows(object, query, false);
  if (query.columns.empty()) Bad("columns: none");
  return query;
}

Scenario Read(const json& doc) {
  OnlyKeys(doc, {"about", "year_start", "previous_year", "parties", "rate_masters", "items",
                 "rates", "settings", "vouchers", "runs", "queries"});
  if (Get(doc, "about", std::string()).empty()) Bad("about: missing");
  Scenario scenario = MakeCompany(doc);
  const auto runs = Get(doc, "runs", std::vector<json>());
  for (size_t i = 0; i < runs.size(); ++i) {
    Within("runs[" + std::to_string(i) + "]", [&] { scenario.runs.push_back(ReadRun(runs[i])); });
  }
  for (const json& query : Get(doc, "queries", std::vector<json>())) {
    Within("queries: " + query.value("query", query.dump()),
           [&] { scenario.queries.push_back(ReadQuery(query)); });
  }
  if (runs.empty() && scenario.queries.empty()) Bad("runs: none, and no queries");
  return scenario;
}

Date YearStart(const json& company) {
  return DateOf(Get(company, "year_start", std::string("01-04-2021")), "year_start");
}

}  // namespace

Scenario MakeCompany(const json& company) {
  const Date start = YearStart(company);
  Scenario scenario;
  scenario.current = std::make_unique<CompanyYear>(start);
  if (Get(company, "previous_year", false)) {
    scenario.previous =
        std::make_unique<CompanyYear>(Date::FromYmd(start.year() - 1, start.month(), start.day()));
  }
  FillCompany(company, *scenario.current, scenario.previous.get());
  return scenario;
}

void FillCompany(const json& company, CompanyYear& current, CompanyYear* previous) {
  using Names = std::map<std::string, std::string>;
  const auto parties = Get(company, "parties", Names{{"12", "Sharma Builders"}});
  const auto items = Get(company, "items", Names{{"101", "Plates"}, {"102", "Props"}});
  const auto masters = Get(company, "rate_masters", std::map<std::string, int32_t>());
  for (CompanyYear* year : {&current, previous}) {
    if (!year) continue;
    for (const auto& [code, name] : parties) {
      const auto master = masters.find(code);
      year->Party(Words(code).Code("party"), name,
                  master == masters.end() ? std::nullopt : std::optional(master->second));
    }
    for (const auto& [code, name] : items) year->Item(Words(code).Code("item"), name);
  }
  if (company.contains("settings")) {
    const auto settings = Get(company, "settings", std::vector<double>());
    if (settings.size() != 2) Bad("settings: " + company["settings"].dump() + " is not [bs1, bs2]");
    current.Settings(settings[0], settings[1]);
  }
  // ITEM RENT-PER-DAY [VALUE-OF-ONE-PIECE] [party N], into the current year.
  for (const std::string& rate : Get(company, "rates", std::vector<std::string>())) {
    Within("rates: '" + rate + "'", [&] {
      Words words(rate);
      const int32_t item = words.Code("item");
      const std::optional<double> per_day = words.NumberOrNull("rent per day");
      std::optional<double> value = 0.0;
      if (!words.AtParty()) value = words.NumberOrNull("value of one piece");
      current.Rate(words.Party(), item, per_day, value);
    });
  }
  const Date start = YearStart(company);
  for (const std::string& voucher : Get(company, "vouchers", std::vector<std::string>())) {
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
