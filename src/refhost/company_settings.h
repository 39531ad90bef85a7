#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "engine/day_rule.h"
#include "rnt/variant.h"

namespace rnt::refhost {

// How the business counts the days it charges: the rule a rent run reads
// from the same setting.
using engine::DayRule;
using engine::DayRuleText;
using engine::kDayRuleColumn;
using engine::ParseDayRule;

// The business's settings as the first row of at_ILC holds them. Older files
// lack the DayRule column; a company may have no row, or no table at all.
struct CompanySettings {
  bool has_table = false;
  bool has_day_rule_column = false;
  bool has_row = false;
  Variant bs1 = Variant::Null();
  Variant bs2 = Variant::Null();
  // The DayRule text as stored; nullopt when it is missing, null or blank.
  std::optional<std::string> day_rule_text;

  // The rule a run bills by: the default, both days, when nothing is stored;
  // nullopt for a stored text that names no rule (a run refuses it).
  std::optional<DayRule> day_rule() const;
};

// Reads them. Throws rnt::Error naming the statement when the table cannot be
// read, rnt::DatabaseUnavailable when the database cannot be reached.
CompanySettings ReadCompanySettings(db::Connection& connection);

// The day rule a statement was billed by: that of ReadCompanySettings, both
// days when nothing (or nothing readable) is stored.
DayRule BilledDayRule(db::Connection& connection);

// Sets the day rule in one transaction: the DayRule column added to an older
// at_ILC, a row added when the table holds none, else every row set (the
// table holds one). Nothing else is made: a company without at_ILC is
// refused with rnt::Error naming `where`, nothing written.
void SetDayRule(db::Connection& connection, DayRule rule, std::string_view where);

// Adds the DayRule column to an at_ILC that lacks it (a table made before the
// column was); does nothing when the table has it or does not exist.
void AddDayRuleColumn(db::Connection& connection);

}  // namespace rnt::refhost
