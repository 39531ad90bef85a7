#include "cli/party_lookup.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "cli/run_values.h"
#include "core/text_util.h"
#include "refhost/components.h"
#include "refhost/parties.h"
#include "rnt/error.h"

namespace rnt::cli {
namespace {

// The number of letters to add, drop or change to turn one text into the other.
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Suggestion(const std::vector<std::string>& names) {
  if (names.empty()) return "; rnt0417 parties lists the company's parties";
  std::string text = "; did you mean ";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "'" + names[i] + "'";
  }
  return text + "?";
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& typed,
                                      const std::vector<std::string>& names) {
  const std::string wanted = ToLower(TrimBlanks(typed));
  // A few slips per word typed are still the same name.
  const size_t slips = std::max<size_t>(2, wanted.size() / 4);
  std::vector<std::pair<size_t, std::string>> close;
  for (const std::string& name : names) {
    const std::string candidate = ToLower(TrimBlanks(name));
    const size_t distance = !wanted.empty() && candidate.find(wanted) != std::string::npos
                                ? 0
                                : EditDistance(wanted, candidate);
    if (distance <= slips) close.emplace_back(distance, name);
  }
  std::stable_sort(close.begin(), close.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> closest;
  for (size_t i = 0; i < close.size() && i < 3; ++i) closest.push_back(close[i].second);
  return closest;
}

refhost::Party LookUpParty(const std::shared_ptr<refhost::YearFile>& company,
                           const std::string& name) {
  std::optional<std::int32_t> code;
  std::string lookup_failure;
  std::vector<refhost::Party> parties;
  try {
    try {
      code = refhost::ReferenceMasterLookup(company).CodeOf(name, HostMasterLookup::kParty);
    } catch (const DatabaseUnavailable&) {
      throw;
    } catch (const Error& error) {
      // not a party: the closest names are suggested below
      lookup_failure = error.what();
    }
    parties = refhost::AllParties(company->Connection());
  } catch (const Error& error) {
    // A dropped connection says nothing about whether the party exists.
    throw RunError(error.what());
  }
  std::vector<std::string> names;
  for (const refhost::Party& party : parties) {
    if (code && party.code == *code) return party;
    // The party is there, and its lookup failed for another reason.
    if (!code && ToLower(TrimBlanks(party.name)) == ToLower(TrimBlanks(name))) {
      throw RunError("cannot look the party '" + name + "' up: " + lookup_failure);
    }
    names.push_back(party.name);
  }
  if (code) return {*code, name};
  throw CommandLineError("--party: no party '" + name + "' in Master1 of " + company->name() +
                         Suggestion(ClosestNames(name, names)));
}

}  // namespace rnt::cli
