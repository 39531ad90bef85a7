#include "engine/rates.h"

#include <exception>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "db/recordset.h"
#include "engine/queries.h"
#include "rnt/error.h"
#include "rnt/value_text.h"

namespace rnt::engine {
namespace {

// A code as it goes into a rate query; nullopt for a null, which has no text,
// so that no query is built and the lookup finds nothing.
std::optional<std::string> CodeText(const Variant& code) {
  try {
    return code.ToText();
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Val of a value's text; 0 for a null or a number too large to read, as the
// skipped assignment leaves it.
double ValOrZero(const Variant& value) {
  try {
    return Val(value.ToText());
  } catch (const Error&) {
    return 0;
  }
}

// The reads of one lookup, each query on a record set of its own that is
// released at once. A code that is not a number leaves the query invalid and
// the rate simply unfound, as the rate table has always been used; any other
// failure is the company database's and goes into the report, once per lookup.
class RateReader {
 public:
  RateReader(host::CompanyContext& context, std::string_view lookup, const Variant& party_code,
             const Variant& item_code)
      : context_(context), lookup_(lookup), party_code_(party_code), item_code_(item_code) {}

  // The column of the first row in the database's order; nullopt when the
  // query finds no row or fails.
  std::optional<Variant> FirstRow(const std::string& sql, std::string_view column,
                                  std::string_view party_text, std::string_view item_text) {
    try {
      if (!context_.connection) throw Error("there is no connection to the company database");
      db::Recordset rows;
      rows.Open(sql, *context_.connection, db::CursorType::kDynamic,
                db::LockType::kBatchOptimistic);
      if (rows.Eof()) return std::nullopt;
      return rows.Field(column);
    } catch (const std::exception& error) {
      if (ParseNumberText(party_text) && ParseNumberText(item_text)) Report(error.what(), sql);
      return std::nullopt;
    }
  }

 private:
  void Report(std::string_view failure, std::string_view sql) {
    if (reported_) return;
    reported_ = true;
    context_.report.Skip({"look up the " + std::string(lookup_) + " of party " +
                              Describe(party_code_) + " for item " + Describe(item_code_),
                          std::string(failure) + " (query: " + std::string(sql) + ")", false});
  }

  host::CompanyContext& context_;
  std::string_view lookup_;
  const Variant& party_code_;
  const Variant& item_code_;
  bool reported_ = false;
};

// The party's rate master, or 0 when the host has none for it (or no lookup
// component): the fallback query then looks for master code 0.
int32_t RateMasterOf(host::CompanyContext& context, const Variant& party_code) {
  if (!context.master_lookup) return 0;
  try {
    return context.master_lookup->RateMasterOf(party_code);
  } catch (const std::exception&) {
    return 0;  // a party without a rate master is ordinary
  }
}

}  // namespace

static Variant LookUpRentRate(host::CompanyContext& context, const Variant& party_code,
                              const std::optional<std::string>& party,
                              const std::string& item_text);

Variant GetRentRate(host::CompanyContext& context, const Variant& party_code,
                    const Variant& item_code) {
  std::optional<std::string> party = CodeText(party_code);
  std::optional<std::string> item = CodeText(item_code);
  if (!item) return Variant(int16_t{0});
  // Every line of an item asks again; the rates do not change during a run.
  auto key = std::pair{party.value_or(""), *item};
  auto known = context.lookups.rent_rates.find(key);
  if (known != context.lookups.rent_rates.end()) return known->second;
  Variant rate = LookUpRentRate(context, party_code, party, *item);
  context.lookups.rent_rates.emplace(std::move(key), rate);
  return rate;
}

// The price rows of one master code (a party's own, or those of the rate
// master a party takes its rates from) by item code, read in one query once
// per run: the first row of each item in the database's order, as the query
// of one item finds it. Null when they cannot be read so; then each item is
// asked by its own query.
static const host::PriceRows* PricesOf(host::CompanyContext& context, const std::string& master) {
  auto& known = context.lookups.price_tables;
  if (auto found = known.find(master); found != known.end()) {
    return found->second ? &*found->second : nullptr;
  }
  std::optional<host::PriceRows> prices;
  if (context.connection && ParseNumberText(master)) {
    try {
      db::Recordset rows;
      rows.Open(queries::PricesOf(master), *context.connection, db::CursorType::kDynamic,
                db::LockType::kBatchOptimistic);
      prices.emplace();
      for (; !rows.Eof(); rows.MoveNext()) {
        Variant item = rows.Field("MasterCode2");
        if (!item.IsNumber()) continue;  // no item's query finds it
        prices->emplace(item.ToDouble(), host::PriceRow{rows.Field("Value"), rows.Field("Value3")});
      }
    } catch (const std::exception&) {
      prices.reset();  // each item is asked, and a failing database reported there
    }
  }
  auto& stored = known[master] = std::move(prices);
  return stored ? &*stored : nullptr;
}

// An item's price row among a master's rows read once: nullptr when the
// master has none for the item, nullopt when they could not be read and the
// item's own query is to be asked.
static std::optional<const host::PriceRow*> PriceFromTable(host::CompanyContext& context,
                                                           const std::string& master,
                                                           const std::string& item) {
  std::optional<double> code = ParseNumberText(item);
  const host::PriceRows* prices = code ? PricesOf(context, master) : nullptr;
  if (!prices) return std::nullopt;
  auto found = prices->find(*code);
  return found == prices->end() ? nullptr : &found->second;
}

static Variant LookUpRentRate(host::CompanyContext& context, const Variant& party_code,
                              const std::optional<std::string>& party,
                              const std::string& item_text) {
  const std::optional<std::string> item = item_text;
  if (party) {
    if (auto own = PriceFromTable(context, *party, *item)) {
      if (*own) return (*own)->rent;
      auto& masters = context.lookups.rate_masters;
      auto master_of = masters.find(*party);
      if (master_of == masters.end()) {
        master_of = masters.emplace(*party, RateMasterOf(context, party_code)).first;
      }
      if (auto mastered = PriceFromTable(context, std::to_string(master_of->second), *item)) {
        return *mastered ? (*mastered)->rent : Variant(int16_t{0});
      }
    }
  }
  RateReader reader(context, "rent rate", party_code, Variant(item_text));
  if (party) {
    if (auto rate = reader.FirstRow(queries::RentRate(*party, *item), "Value", *party, *item)) {
      return *rate;
    }
  }
  // No rate of the party's own: the rate of the master it takes its rates from.
  std::string master = std::to_string(RateMasterOf(context, party_code));
  if (auto rate = reader.FirstRow(queries::RentRate(master, *item), "Value", master, *item)) {
    return *rate;
  }
  return Variant(int16_t{0});
}

// The value of one piece of the item for one master code's row (Value3);
// nullopt when the master has no row for it.
static std::optional<Variant> MasterPieceValue(host::CompanyContext& context,
                                               std::string_view lookup, const Variant& party_code,
                                               const std::string& master, const Variant& item_code,
                                               const std::string& item) {
  if (auto own = PriceFromTable(context, master, item)) {
    return *own ? std::optional<Variant>((*own)->piece) : std::nullopt;
  }
  RateReader reader(context, lookup, party_code, item_code);
  return reader.FirstRow(lookup == "damage charge" ? queries::DamageCharge(master, item)
                                                   : queries::ReplacementRate(master, item),
                         "Value3", master, item);
}

// The value of one piece of the item for the party: its own row's, or, for a
// party without a row for the item, its rate master's, as its rent rate is
// (a lost piece of a party on a rate master is not free). Nullopt when
// neither has a row.
static std::optional<Variant> PieceValue(host::CompanyContext& context, std::string_view lookup,
                                         const Variant& party_code, const std::string& party,
                                         const Variant& item_code, const std::string& item) {
  if (auto own = MasterPieceValue(context, lookup, party_code, party, item_code, item)) {
    return own;
  }
  auto& masters = context.lookups.rate_masters;
  auto master_of = masters.find(party);
  if (master_of == masters.end()) {
    master_of = masters.emplace(party, RateMasterOf(context, party_code)).first;
  }
  if (master_of->second == 0) return std::nullopt;
  return MasterPieceValue(context, lookup, party_code, std::to_string(master_of->second), item_code,
                          item);
}

Variant GetReplacementRate(host::CompanyContext& context, const Variant& party_code,
                           const Variant& item_code) {
  std::optional<std::string> party = CodeText(party_code);
  std::optional<std::string> item = CodeText(item_code);
  if (!party || !item) return Variant(int16_t{0});
  if (auto value = PieceValue(context, "replacement rate", party_code, *party, item_code, *item)) {
    return *value;
  }
  return Variant(int16_t{0});
}

Variant GetDamageCharge(host::CompanyContext& context, const Variant& party_code,
                        const Variant& item_code, const Variant& percentage) {
  std::optional<std::string> party = CodeText(party_code);
  std::optional<std::string> item = CodeText(item_code);
  if (!party || !item) return Variant(int16_t{0});
  std::optional<Variant> value =
      PieceValue(context, "damage charge", party_code, *party, item_code, *item);
  if (!value) return Variant(int16_t{0});
  double product = ValOrZero(*value) * ValOrZero(percentage);
  // The product passes through its text before the division, which is where a
  // locale with a decimal comma would lose its fraction.
  double charge = 0;
  try {
    charge = Val(NumberText(product));
  } catch (const Error&) {
    charge = 0;  // an overflowing product leaves no charge
  }
  return Variant(charge / 100);
}

}  // namespace rnt::engine
