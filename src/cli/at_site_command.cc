#include "cli/at_site_command.h"
#include "cli/html_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/company_years.h"
#include "cli/exit_status.h"
#include "cli/party_lookup.h"
#include "cli/run_values.h"
#include "refhost/company_info.h"
#include "refhost/master_names.h"
#include "refhost/parties.h"
#include "refhost/site_stock.h"
#include "refhost/year_files.h"
#include "rnt/value_text.h"

namespace rnt::cli {
namespace {

// The list as printed: each party's holdings under its name, and the totals.
struct SiteList {
  Date day = Date::FromYmd(1900, 1, 1);
  refhost::CompanyInfo company;
  std::vector<std::pair<std::string, std::vector<refhost::SiteHolding>>> parties;
  std::map<std::int32_t, double> totals;  // by item code
  std::map<std::string, std::string> item_names;

  std::string ItemName(std::int32_t code) const {
    auto found = item_names.find(std::to_string(code));
    return found == item_names.end() ? std::string() : found->second;
  }
  std::string ItemTitle(std::int32_t code) const {
    const std::string name = ItemName(code);
    return name.empty() ? std::to_string(code) : fmt::format("{} ({})", name, code);
  }
};

// "DC-12 12-07-2024: 40", the challan's part of what is held; an opening
// entry carries the year before's balance.
std::string ChallanText(const refhost::ChallanOut& challan) {
  return fmt::format("{} {}: {}", challan.challan.empty() ? "opening" : challan.challan,
                     ShortDateText(challan.day), NumberText(challan.quantity));
}

std::string ChallansText(const refhost::SiteHolding& holding) {
  std::string text;
  for (const refhost::ChallanOut& challan : holding.challans) {
    text += (text.empty() ? "" : ", ") + ChallanText(challan);
  }
  return text;
}

void PrintTable(const SiteList& list, std::ostream& out) {
  if (!list.company.name.empty()) out << list.company.name << "\n";
  out << "Material at site at the end of " << ShortDateText(list.day) << "\n";
  if (list.parties.empty()) out << "\nNo material is out with any party.\n";
  for (const auto& [party, holdings] : list.parties) {
    out << "\n" << party << "\n";
    for (const refhost::SiteHolding& holding : holdings) {
      out << fmt::format("  {:<30} {:>10}  {}\n", list.ItemTitle(holding.item),
                         NumberText(holding.quantity), ChallansText(holding));
    }
  }
  if (list.totals.empty()) return;
  out << "\nTotal at all sites\n";
  for (const auto& [item, quantity] : list.totals) {
    out << fmt::format("  {:<30} {:>10}\n", list.ItemTitle(item), NumberText(quantity));
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// One row per party and item, then one per item with the total and no party.
void PrintCsv(const SiteList& list, std::ostream& out) {
  out << "Party,Code1,ItemName,Qty,Challans\n";
  for (const auto& [party, holdings] : list.parties) {
    for (const refhost::SiteHolding& holding : holdings) {
      out << CsvField(party) << "," << holding.item << "," << CsvField(list.ItemName(holding.item))
          << "," << NumberText(holding.quantity) << "," << CsvField(ChallansText(holding)) << "\n";
    }
  }
  for (const auto& [item, quantity] : list.totals) {
    out << "," << item << "," << CsvField(list.ItemName(item)) << "," << NumberText(quantity)
        << ",\n";
  }
}

void PrintJson(const SiteList& list, std::ostream& out) {
  nlohmann::ordered_json document = {{"Date", ShortDateText(list.day)},
                                     {"Parties", nlohmann::ordered_json::array()},
                                     {"Totals", nlohmann::ordered_json::array()}};
  for (const auto& [party, holdings] : list.parties) {
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (const refhost::SiteHolding& holding : holdings) {
      nlohmann::ordered_json challans = nlohmann::ordered_json::array();
      for (const refhost::ChallanOut& challan : holding.challans) {
        challans.push_back({{"ChallanNo", challan.challan},
                            {"ChallanDate", ShortDateText(challan.day)},
                            {"Qty", challan.quantity}});
      }
      items.push_back({{"Code1", holding.item},
                       {"ItemName", list.ItemName(holding.item)},
                       {"Qty", holding.quantity},
                       {"Challans", std::move(challans)}});
    }
    document["Parties"].push_back({{"Party", party}, {"Items", std::move(items)}});
  }
  for (const auto& [item, quantity] : list.totals) {
    document["Totals"].push_back(
        {{"Code1", item}, {"ItemName", list.ItemName(item)}, {"Qty", quantity}});
  }
  out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

// One printable page: a table per party and the totals.
void PrintHtml(const SiteList& list, std::ostream& out) {
  const std::string title = "Material at site at the end of " + ShortDateText(list.day);
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << Escaped(title)
      << "</title>\n<style>body{font-family:sans-serif;font-size:10pt}table{border-collapse:"
         "collapse;margin-bottom:1em}td,th{border-bottom:1px solid #ccc;padding:2px 8px;"
         "text-align:left}td.n{text-align:right}h2{break-after:avoid;font-size:11pt}</style>\n"
         "</head>\n<body>\n";
  if (!list.company.name.empty()) out << "<h1>" << Escaped(list.company.name) << "</h1>\n";
  out << "<p>" << Escaped(title) << "</p>\n";
  auto table = [&](const std::string& heading, auto&& rows) {
    out << "<h2>" << Escaped(heading) << "</h2>\n<table>\n<tr><th>Item</th><th>Qty</th>"
        << "<th>Challans (latest first)</th></tr>\n";
    rows();
    out << "</table>\n";
  };
  for (const auto& [party, holdings] : list.parties) {
    table(party, [&] {
      for (const refhost::SiteHolding& holding : holdings) {
        out << "<tr><td>" << Escaped(list.ItemTitle(holding.item)) << "</td><td class=\"n\">"
            << NumberText(holding.quantity) << "</td><td>" << Escaped(ChallansText(holding))
            << "</td></tr>\n";
      }
    });
  }
  table("Total at all sites", [&] {
    for (const auto& [item, quantity] : list.totals) {
      out << "<tr><td>" << Escaped(list.ItemTitle(item)) << "</td><td class=\"n\">"
          << NumberText(quantity) << "</td><td></td></tr>\n";
    }
  });
  out << "</body>\n</html>\n";
}

// The parties' names by code, from the current year's Master1.
std::map<std::int32_t, std::string> PartyNames(const refhost::CompanyData& company) {
  std::map<std::int32_t, std::string> names;
  for (const refhost::Party& party : refhost::AllParties(company.current()->Connection())) {
    names.emplace(party.code, party.name);
  }
  return names;
}

// The company's year that holds the day, found as a bill's year is, by the
// rent date after it; without a day, its latest year. A day that no year
// holds is said as the day asked, not as a rent date.
refhost::CompanyData FindYearOf(const AtSiteOptions& options, std::optional<Date> year_start,
                                std::optional<Date> day, std::ostream& err) {
  try {
    return FindCompanyYears(options, year_start,
                            day ? std::optional<Date>(day->AddDays(1)) : std::nullopt, err);
  } catch (const CommandLineError& error) {
    const std::string what = error.what();
    if (!day || !what.starts_with("--rent-date: ")) throw;
    const size_t outside = what.find(" is outside the year of ");
    const size_t range = what.rfind(" (its files hold");
    std::string where = " is in no year of the company";
    if (outside != std::string::npos) {
      where = what.substr(outside, what.find("):", outside) + 1 - outside);
    } else if (range != std::string::npos) {
      where += what.substr(range);
    }
    throw CommandLineError("--date: " + ShortDateText(*day) + where);
  }
}

}  // namespace

int ListMaterialAtSites(const AtSiteOptions& options, std::ostream& out, std::ostream& err) {
  return ExitStatusOf(err, "the material at site could not be listed", [&] {
    if (options.format != "table" && options.format != "csv" && options.format != "json" &&
        options.format != "html") {
      throw CommandLineError("--format: '" + options.format + "' is not table, csv, json or html");
    }
    const std::optional<Date> year_start = CheckCompanyValues(options);
    std::optional<Date> day;
    if (options.date) day = DateOption("--date", *options.date);
    // The year that holds the day is found as a bill's year is, by the day
    // after it; without a day, the latest year, to its last day.
    refhost::CompanyData company = FindYearOf(options, year_start, day, err);
    std::optional<refhost::Party> party;
    if (!options.party.empty()) party = LookUpParty(company.current(), options.party);
    SiteList list;
    try {
      if (!day) day = refhost::YearAfter(refhost::YearStartOf(company.current())).AddDays(-1);
      list.day = *day;
      db::Connection& current = company.current()->Connection();
      list.company = refhost::ReadCompanyInfo(current);
      list.item_names = refhost::ItemNames(current);
      const std::map<std::int32_t, std::string> names = PartyNames(company);
      for (refhost::SiteHolding& holding : refhost::MaterialAtSites(
               company, *day, party ? std::optional<std::int32_t>(party->code) : std::nullopt)) {
        auto name = names.find(holding.party);
        const std::string party_name =
            name != names.end() ? name->second : "party " + std::to_string(holding.party);
        if (holding.quantity < 0) {
          err << "rnt0417: warning: " << party_name << " holds " << list.ItemTitle(holding.item)
              << " down to " << NumberText(holding.quantity)
              << ", less than nothing: are the challans of a year missing (is the previous "
                 "year's file there)?\n";
          continue;
        }
        list.totals[holding.item] += holding.quantity;
        if (list.parties.empty() || list.parties.back().first != party_name) {
          list.parties.emplace_back(party_name, std::vector<refhost::SiteHolding>{});
        }
        list.parties.back().second.push_back(std::move(holding));
      }
    } catch (const CommandLineError&) {
      throw;
    } catch (const Error& error) {
      throw RunError(error.what());
    }
    // Parties in the order of their names, as `parties` lists them.
    std::stable_sort(list.parties.begin(), list.parties.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (options.format == "csv") {
      PrintCsv(list, out);
    } else if (options.format == "json") {
      PrintJson(list, out);
    } else if (options.format == "html") {
      PrintHtml(list, out);
    } else {
      PrintTable(list, out);
    }
    return kRunFinished;
  });
}

}  // namespace rnt::cli
