#include "scenarios/scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "db/work_table.h"
#include "rnt/value_text.h"

namespace rnt::testing {
namespace {

using nlohmann::json;

constexpr int32_t kSharmaBuilders = 12;

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

double Number(const std::string& word, const std::string& what) {
  double value = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || error != std::errc() || end != word.data() + word.size()) {
    Bad(what + " '" + word + "' is not a number");
  }
  return value;
}

int32_t Code(const std::string& word, const std::string& what) {
  double value = Number(word, what);
  if (value != std::floor(value) || std::abs(value) > 1e9) Bad(what + " '" + word + "' is no code");
  return static_cast<int32_t>(value);
}

std::string Day(const std::string& word, const std::string& what) {
  if (!ParseDateText(word)) Bad(what + " '" + word + "' is not a date");
  return word;
}

// The words of a voucher or rate line, read from the left; a word in single
// quotes may hold blanks (a challan numbered " C0 ").
class Words {
 public:
  explicit Words(const std::string& text) {
    for (size_t at = 0; at < text.size(); ++at) {
      if (text[at] == ' ') continue;
      const bool quoted = text[at] == '\'';
      size_t end = text.find(quoted ? '\'' : ' ', at + 1);
      if (quoted && end == std::string::npos) Bad("no closing quote");
      end = std::min(end, text.size());
      words_.push_back(text.substr(at + quoted, end - at - quoted));
      at = end;
    }
  }
  bool Done() const { return next_ == words_.size(); }
  bool At(const std::string& word) const { return !Done() && words_[next_] == word; }
  std::string Next(const std::string& what) {
    if (Done()) Bad(what + " missing");
    return words_[next_++];
  }
  bool Take(const std::string& keyword) { return At(keyword) && ++next_; }

 private:
  std::vector<std::string> words_;
  size_t next_ = 0;
};

// DD-MM-YYYY rent CODE [carries ITEM QTY CHALLAN DATE [type N] [and ...]] [nonrental]
void AddRentVoucher(CompanyYear& year, const std::string& day, Words& words) {
  const int32_t code = Code(words.Next("rent voucher code"), "rent voucher code");
  int32_t party = kSharmaBuilders;
  bool rental = true;
  std::vector<CompanyYear::CarriedItem> items;
  while (!words.Done()) {
    if (words.Take(items.empty() ? "carries" : "and")) {
      CompanyYear::CarriedItem item;
      item.item = Code(words.Next("item"), "item");
      item.carried = words.Next("quantity carried");
      item.challan = words.Next("challan");
      item.challan_date = Day(words.Next("challan date"), "challan date");
      if (words.Take("type")) item.record_type = Code(words.Next("record type"), "record type");
      items.push_back(item);
    } else if (words.Take("party")) {
      party = Code(words.Next("party"), "party");
    } else if (!words.Take("nonrental") || !rental) {
      Bad("unexpected '" + words.Next("") + "'");
    } else {
      rental = false;
    }
  }
  year.RentVoucher(code, day, party, items, rental);
}

// DD-MM-YYYY issue|return CHALLAN ITEM QTY [ref N], opening ITEM QTY,
// lost ITEM QTY [marker TEXT], damaged ITEM QTY PCT% [marker TEXT]; each
// with [party N]. The voucher goes into the year file that holds its day.
void AddVoucher(Scenario& scenario, Date year_start, const std::string& text) {
  Words words(text);
  const std::string day = Day(words.Next("date"), "date");
  const std::string kind = words.Next("kind");
  const bool previous = *ParseDateText(day) < year_start;
  if (previous && !scenario.previous) Bad("dated before the year and no previous year's file");
  CompanyYear& year = previous ? *scenario.previous : *scenario.current;
  if (kind == "rent") return AddRentVoucher(year, day, words);
  const bool challan = kind == "issue" || kind == "return";
  if (!challan && kind != "opening" && kind != "lost" && kind != "damaged") {
    Bad("unknown kind '" + kind + "' (issue, return, opening, lost, damaged, rent)");
  }
  const std::string number = challan ? words.Next("challan") : "";
  const int32_t item = Code(words.Next("item"), "item");
  const double quantity = Number(words.Next("quantity"), "quantity");
  double percent = 0;
  if (kind == "damaged") {
    std::string word = words.Next("damage in percent");
    if (word.empty() || word.back() != '%') Bad("damage '" + word + "' is not in percent");
    percent = Number(word.substr(0, word.size() - 1), "damage");
  }
  int32_t party = kSharmaBuilders, ref = 0;
  std::string marker = kind == "damaged" ? "Damage" : "Lost";
  while (!words.Done()) {
    const std::string keyword = words.Next(""), value = words.Next(keyword);
    if (keyword == "party") {
      party = Code(value, "party");
    } else if (keyword == "ref" && challan) {
      ref = Code(value, "ref");
    } else if (keyword == "marker" && (kind == "lost" || kind == "damaged")) {
      marker = value;
    } else {
      Bad("unexpected '" + keyword + "'");
    }
  }
  if (kind == "issue") year.Issue(day, number, item, party, quantity, ref);
  if (kind == "return") year.Return(day, number, item, party, quantity, ref);
  if (kind == "opening") year.Opening(day, item, party, quantity);
  if (kind == "lost") year.Lost(day, item, party, quantity, marker);
  if (kind == "damaged") year.Damaged(day, item, party, quantity, percent, marker);
}

// ITEM RENT-PER-DAY [VALUE-OF-ONE-PIECE] [party N], into the current year.
void AddRate(CompanyYear& year, const std::string& text) {
  Words words(text);
  const int32_t item = Code(words.Next("item"), "item");
  const double rate = Number(words.Next("rent per day"), "rent per day");
  double value = 0;
  if (!words.Done() && !words.At("party")) value = Number(words.Next(""), "value of one piece");
  const int32_t party = words.Take("party") ? Code(words.Next("party"), "party") : kSharmaBuilders;
  if (!words.Done()) Bad("unexpected '" + words.Next("") + "'");
  year.Rate(party, item, rate, value);
}

void OnlyKeys(const json& object, const std::set<std::string>& keys, const std::string& where) {
  if (!object.is_object()) Bad(where + ": " + object.dump() + " is not an object");
  for (const auto& [key, value] : object.items()) {
    if (!keys.count(key)) Bad(where + ": unknown key '" + key + "'");
  }
}

// The key's value as T, `fallback` when the object lacks the key.
template <typename T>
T Get(const json& object, const std::string& key, T fallback, const std::string& where) {
  if (!object.contains(key)) return fallback;
  try {
    return object[key].get<T>();
  } catch (const json::exception&) {
    Bad(where + key + ": cannot read " + object[key].dump());
  }
}

// Each short form of a list, the one that cannot be read named in the error.
void EachLine(const json& doc, const std::string& key,
              const std::function<void(const std::string&)>& add) {
  for (const std::string& line : Get<std::vector<std::string>>(doc, key, {}, "")) {
    try {
      add(line);
    } catch (const std::runtime_error& error) {
      Bad(key + ": '" + line + "': " + error.what());
    }
  }
}

ScenarioRun ReadRun(const json& object, const std::string& where) {
  OnlyKeys(object,
           {"party", "rent_date", "search_date", "user", "previous_year", "files_only", "status",
            "refusal", "lines", "columns", "rows", "any_order", "unchanged"},
           where.substr(0, where.size() - 1));
  ScenarioRun run;
  run.party = Get(object, "party", run.party, where);
  run.rent_date = Day(Get<std::string>(object, "rent_date", "", where), where + "rent_date");
  run.search_date = Get<std::string>(object, "search_date", "", where);
  if (!run.search_date.empty()) Day(run.search_date, where + "search_date");
  run.user = Get(object, "user", run.user, where);
  run.previous_year = Get(object, "previous_year", true, where);
  run.files_only = Get(object, "files_only", false, where);
  run.status = Get(object, "status", 0, where);
  if (run.status != 0 && run.status != 1 && run.status != 3) {
    Bad(where + "status: " + std::to_string(run.status) + " is not 0, 1 or 3");
  }
  run.refusal = Get<std::string>(object, "refusal", "", where);
  if (object.contains("lines")) run.lines = Get<size_t>(object, "lines", 0, where);
  run.columns = Get<std::vector<std::string>>(object, "columns", {}, where);
  for (const std::string& column : run.columns) {
    const auto& known = db::WorkTableColumns();
    if (std::find(known.begin(), known.end(), column) == known.end()) {
      Bad(where + "columns: '" + column + "' is not a column of atShut");
    }
  }
  run.rows = object.value("rows", json());
  if (!run.rows.is_null() && !run.rows.is_array())
    Bad(where + "rows: cannot read " + run.rows.dump());
  for (const json& row : run.rows) {
    bool plain = std::all_of(row.begin(), row.end(), [](const json& value) {
      return value.is_null() || value.is_number() || value.is_string();
    });
    if (!row.is_array() || row.size() != run.columns.size() || !plain) {
      Bad(where + "rows: " + row.dump() + " is no row of the " +
          std::to_string(run.columns.size()) + " columns");
    }
  }
  run.any_order = Get(object, "any_order", false, where);
  run.unchanged = Get<std::vector<std::string>>(object, "unchanged", {}, where);
  return run;
}

Scenario Read(const json& doc) {
  OnlyKeys(doc,
           {"about", "year_start", "previous_year", "parties", "rate_masters", "items", "rates",
            "settings", "vouchers", "runs"},
           "the case");
  if (Get<std::string>(doc, "about", "", "").empty()) Bad("about: missing");
  const std::string start = Get<std::string>(doc, "year_start", "01-04-2021", "");
  const Date year_start = *ParseDateText(Day(start, "year_start"));
  Scenario scenario;
  scenario.current = std::make_unique<CompanyYear>(year_start);
  if (Get(doc, "previous_year", false, "")) {
    scenario.previous = std::make_unique<CompanyYear>(
        Date::FromYmd(year_start.year() - 1, year_start.month(), year_start.day()));
  }
  using Names = std::map<std::string, std::string>;
  const auto masters = Get<std::map<std::string, int32_t>>(doc, "rate_masters", {}, "");
  for (CompanyYear* year : {scenario.current.get(), scenario.previous.get()}) {
    if (!year) continue;
    for (const auto& [code, name] : Get<Names>(doc, "parties", {{"12", "Sharma Builders"}}, "")) {
      auto master = masters.find(code);
      year->Party(Code(code, "parties: party"), name,
                  master == masters.end() ? std::nullopt : std::optional(master->second));
    }
    for (const auto& [code, name] :
         Get<Names>(doc, "items", {{"101", "Plates"}, {"102", "Props"}}, "")) {
      year->Item(Code(code, "items: item"), name);
    }
  }
  EachLine(doc, "rates", [&](const std::string& rate) { AddRate(*scenario.current, rate); });
  if (doc.contains("settings")) {
    auto settings = Get<std::vector<double>>(doc, "settings", {}, "");
    if (settings.size() != 2) Bad("settings: " + doc["settings"].dump() + " is not [bs1, bs2]");
    scenario.current->Settings(settings[0], settings[1]);
  }
  EachLine(doc, "vouchers",
           [&](const std::string& voucher) { AddVoucher(scenario, year_start, voucher); });
  const json runs = doc.value("runs", json::array());
  if (!runs.is_array() || runs.empty()) Bad("runs: none");
  for (size_t i = 0; i < runs.size(); ++i) {
    scenario.runs.push_back(ReadRun(runs[i], "runs[" + std::to_string(i) + "]."));
  }
  return scenario;
}

}  // namespace

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
