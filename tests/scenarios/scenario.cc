#include "scenarios/scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>
#include <stdexcept>

#include "db/work_table.h"
#include "rnt/value_text.h"

namespace rnt::testing {
namespace {

using nlohmann::json;

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

Date DateOf(const std::string& text, const std::string& what) {
  std::optional<Date> date = ParseDateText(text);
  if (!date) Bad(what + " '" + text + "' is not a date");
  return *date;
}

// The words of a voucher or rate line, read from the left; a word in single
// quotes may hold blanks (a challan numbered " C0 ").
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
    if (next_ < words_.size()) Bad("unexpected '" + words_[next_] + "'");
    return party;
  }

 private:
  std::vector<std::string> words_;
  size_t next_ = 0;
};

// A voucher in its short form (tests/scenarios/README.md), into the year
// file that holds its day.
void AddVoucher(Scenario& scenario, Date year_start, const std::string& text) {
  Words words(text);
  const std::string day = words.Day("date"), kind = words.Next("kind");
  const bool previous = *ParseDateText(day) < year_start;
  if (previous && !scenario.previous) Bad("dated before the year, and no previous year's file");
  CompanyYear& year = previous ? *scenario.previous : *scenario.current;
  if (kind == "issue" || kind == "return") {
    const std::string challan = words.Next("challan");
    const int32_t item = words.Code("item");
    const double quantity = words.Number("quantity");
    const int32_t ref = words.Take("ref") ? words.Code("ref") : 0, party = words.Party();
    if (kind == "issue") year.Issue(day, challan, item, party, quantity, ref);
    if (kind == "return") year.Return(day, challan, item, party, quantity, ref);
  } else if (kind == "opening" || kind == "lost" || kind == "damaged") {
    const int32_t item = words.Code("item");
    const double quantity = words.Number("quantity");
    const double percent = kind == "damaged" ? words.Number("damage", "%") : 0;
    const std::string marker = words.Take("marker") ? words.Next("marker")
                               : kind == "damaged"  ? "Damage"
                                                    : "Lost";
    const int32_t party = words.Party();
    if (kind == "opening") year.Opening(day, item, party, quantity);
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

void OnlyKeys(const json& object, const std::set<std::string>& keys) {
  if (!object.is_object()) Bad(object.dump() + " is not an object");
  for (const auto& [key, value] : object.items()) {
    if (!keys.count(key)) Bad("unknown key '" + key + "'");
  }
}

ScenarioRun ReadRun(const json& object) {
  OnlyKeys(object, {"party", "rent_date", "search_date", "user", "previous_year", "files_only",
                    "status", "refusal", "lines", "columns", "rows", "any_order", "unchanged"});
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
  run.columns = Get(object, "columns", std::vector<std::string>());
  for (const std::string& column : run.columns) {
    if (std::ranges::count(db::WorkTableColumns(), column) == 0) {
      Bad("columns: '" + column + "' is not a column of atShut");
    }
  }
  run.rows = Get(object, "rows", std::vector<json>());
  for (const json& row : run.rows) {
    if (!row.is_array() || row.size() != run.columns.size() ||
        std::ranges::any_of(row,
                            [](const json& v) { return v.is_structured() || v.is_boolean(); })) {
      Bad("rows: " + row.dump() + " is not a row of the columns");
    }
  }
  run.any_order = Get(object, "any_order", false);
  run.unchanged = Get(object, "unchanged", std::vector<std::string>());
  return run;
}

Scenario Read(const json& doc, std::string& at) {
  OnlyKeys(doc, {"about", "year_start", "previous_year", "parties", "rate_masters", "items",
                 "rates", "settings", "vouchers", "runs"});
  if (Get(doc, "about", std::string()).empty()) Bad("about: missing");
  const Date start = DateOf(Get(doc, "year_start", std::string("01-04-2021")), "year_start");
  Scenario scenario;
  scenario.current = std::make_unique<CompanyYear>(start);
  if (Get(doc, "previous_year", false)) {
    scenario.previous =
        std::make_unique<CompanyYear>(Date::FromYmd(start.year() - 1, start.month(), start.day()));
  }
  using Names = std::map<std::string, std::string>;
  const auto parties = Get(doc, "parties", Names{{"12", "Sharma Builders"}});
  const auto items = Get(doc, "items", Names{{"101", "Plates"}, {"102", "Props"}});
  const auto masters = Get(doc, "rate_masters", std::map<std::string, int32_t>());
  for (CompanyYear* year : {scenario.current.get(), scenario.previous.get()}) {
    if (!year) continue;
    for (const auto& [code, name] : parties) {
      const auto master = masters.find(code);
      year->Party(Words(code).Code("party"), name,
                  master == masters.end() ? std::nullopt : std::optional(master->second));
    }
    for (const auto& [code, name] : items) year->Item(Words(code).Code("item"), name);
  }
  if (doc.contains("settings")) {
    const auto settings = Get(doc, "settings", std::vector<double>());
    if (settings.size() != 2) Bad("settings: " + doc["settings"].dump() + " is not [bs1, bs2]");
    scenario.current->Settings(settings[0], settings[1]);
  }
  // ITEM RENT-PER-DAY [VALUE-OF-ONE-PIECE] [party N], into the current year.
  for (const std::string& rate : Get(doc, "rates", std::vector<std::string>())) {
    at = "rates: '" + rate + "': ";
    Words words(rate);
    const int32_t item = words.Code("item");
    const double per_day = words.Number("rent per day");
    const double value = words.AtParty() ? 0 : words.Number("value of one piece");
    scenario.current->Rate(words.Party(), item, per_day, value);
  }
  for (const std::string& voucher : Get(doc, "vouchers", std::vector<std::string>())) {
    at = "vouchers: '" + voucher + "': ";
    AddVoucher(scenario, start, voucher);
  }
  const auto runs = Get(doc, "runs", std::vector<json>());
  if (runs.empty()) Bad("runs: none");
  for (size_t i = 0; i < runs.size(); ++i) {
    at = "runs[" + std::to_string(i) + "]: ";
    scenario.runs.push_back(ReadRun(runs[i]));
  }
  return scenario;
}

}  // namespace

Scenario LoadScenario(const std::filesystem::path& file) {
  std::string at;  // the part of the case being read
  try {
    std::ifstream in(file);
    if (!in) Bad("cannot be read");
    return Read(json::parse(in), at);
  } catch (const std::exception& error) {
    Bad(file.filename().string() + ": " + at + error.what());
  }
}

}  // namespace rnt::testing
