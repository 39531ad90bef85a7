#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "engine/day_rule.h"
#include "refhost/amount_grouping.h"
#include "rnt/variant.h"

namespace rnt::refhost {

// How the business counts the days it charges: the rule a rent run reads
// from the same setting.
using engine::DayRule;
using engine::DayRuleText;
using engine::kDayRuleColumn;
using engine::ParseDayRule;

// The business's settings as the first row of at_ILC holds them. Older files
// lack the DayRule and AmountGrouping columns; a company may have no row, or
// no table at all.
struct CompanySettings {
  bool has_table = false;
  bool has_day_rule_column = false;
  bool has_row = false;
  Variant bs1 = Variant::Null();
  Variant bs2 = Variant::Null();
  // The DayRule text as stored; nullopt when it is missing, null or blank.
  std::optional<std::string> day_rule_text;
  // The AmountGrouping text as stored; nullopt when it is missing, null or blank.
  std::optional<std::string> amount_grouping_text;

  // The rule a run bills by: the default, both days, when nothing is stored;
  // nullopt for a stored text that names no rule (a run refuses it).
  std::optional<DayRule> day_rule() const;
  // How amounts are printed: international when nothing is stored; nullopt
  // for a stored text that names neither grouping.
  std::optional<AmountGrouping> amount_grouping() const;
};

// Reads them. Throws rnt::Error naming the statement when the table cannot be
// read, rnt::DatabaseUnavailable when the database cannot be reached.
CompanySettings ReadCompanySettings(db::Connection& connection);

// The day rule a statement was billed by: that of ReadCompanySettings, both
// days when nothing (or nothing readable) is stored.
DayRule BilledDayRule(db::Connection& connection);

// How a statement prints its amounts: that of ReadCompanySettings,
// international when nothing (or nothing readable) is stored. A grouping is
// only how amounts look, so a wrong one never stops a bill.
AmountGrouping PrintedAmountGrouping(db::Connection& connection);

// Sets the day rule in one transaction: the DayRule column added to an older
// at_ILC, a row added when the table holds none, else every row set (the
// table holds one). Nothing else is made: a company without at_ILC is
// refused with rnt::Error naming `where`, nothing written.
void SetDayRule(db::Connection& connection, DayRule rule, std::string_view where);

// Sets the amount grouping as SetDayRule sets the day rule.
void SetAmountGrouping(db::Connection& connection, AmountGrouping grouping, std::string_view where);

// Adds the DayRule and AmountGrouping columns to an at_ILC that lacks them (a
// table made before the columns were); does nothing when the table has them
// or does not exist.
void AddSettingsColumns(db::Connection& connection);

}  // namespace rnt::refhost
