#include "refhost/company_settings.h"

#include <vector>

#include "core/text_util.h"
#include "db/recordset.h"
#include "refhost/company_files.h"
#include "refhost/company_transaction.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

// The at_ILC columns, or nullopt when the table does not exist.
std::optional<std::vector<db::ColumnInfo>> SettingsColumns(db::Connection& connection) {
  try {
    return connection.backend()->TableColumns("at_ILC");
  } catch (const DatabaseUnavailable&) {
    throw;
  } catch (const Error&) {
    return std::nullopt;
  }
}

bool HasColumn(const std::vector<db::ColumnInfo>& columns, std::string_view name) {
  for (const db::ColumnInfo& column : columns) {
    if (EqualsIgnoringCase(column.name, name)) return true;
  }
  return false;
}

// A text column of the settings, nullopt when null or blank.
std::optional<std::string> StoredText(db::Recordset& rows, std::string_view column) {
  const Variant value = rows.Field(column);
  if (value.IsNull() || value.IsEmpty() || TrimBlanks(value.ToText()).empty()) return std::nullopt;
  return value.ToText();
}

// Sets one text column of at_ILC in one transaction, adding the column to an
// older table and a row to an empty one.
void SetText(db::Connection& connection, std::string_view column, std::string_view text,
             std::string_view where) {
  CompanyTransaction transaction(connection, CompanyTransaction::Vouchers::kFree);
  const std::optional<std::vector<db::ColumnInfo>> columns = SettingsColumns(connection);
  if (!columns) {
    throw Error(std::string(where) +
                " has no settings table at_ILC (the add-on is not set up in that year); nothing "
                "was changed");
  }
  std::shared_ptr<db::Backend> backend = connection.backend();
  const std::string name(column);
  if (!HasColumn(*columns, column)) {
    backend->ExecuteNative("ALTER TABLE at_ILC ADD COLUMN " + name + " TEXT");
  }
  const std::string quoted = QuotedText(text);
  db::Recordset rows;
  rows.Open("select count(*) as n from at_ILC", connection);
  const bool empty = rows.Field("n").ToDouble() == 0;
  rows.Close();
  backend->ExecuteNative(empty ? "INSERT INTO at_ILC (" + name + ") VALUES (" + quoted + ")"
                               : "UPDATE at_ILC SET " + name + " = " + quoted);
  transaction.Commit();
}

}  // namespace

std::optional<AmountGrouping> CompanySettings::amount_grouping() const {
  return amount_grouping_text ? ParseAmountGrouping(*amount_grouping_text)
                              : AmountGrouping::kInternational;
}

std::optional<DayRule> CompanySettings::day_rule() const {
  return day_rule_text ? ParseDayRule(*day_rule_text) : DayRule::kBothDays;
}

CompanySettings ReadCompanySettings(db::Connection& connection) {
  CompanySettings settings;
  const std::optional<std::vector<db::ColumnInfo>> columns = SettingsColumns(connection);
  if (!columns) return settings;
  settings.has_table = true;
  settings.has_day_rule_column = HasColumn(*columns, kDayRuleColumn);
  db::Recordset rows;
  rows.Open("select * from at_ILC", connection);
  if (rows.Eof()) return settings;
  settings.has_row = true;
  if (HasColumn(*columns, "bs1")) settings.bs1 = rows.Field("bs1");
  if (HasColumn(*columns, "bs2")) settings.bs2 = rows.Field("bs2");
  if (settings.has_day_rule_column) settings.day_rule_text = StoredText(rows, kDayRuleColumn);
  if (HasColumn(*columns, kAmountGroupingColumn)) {
    settings.amount_grouping_text = StoredText(rows, kAmountGroupingColumn);
  }
  return settings;
}

DayRule BilledDayRule(db::Connection& connection) {
  return ReadCompanySettings(connection).day_rule().value_or(DayRule::kBothDays);
}

AmountGrouping PrintedAmountGrouping(db::Connection& connection) {
  return ReadCompanySettings(connection).amount_grouping().value_or(AmountGrouping::kInternational);
}

void SetDayRule(db::Connection& connection, DayRule rule, std::string_view where) {
  SetText(connection, kDayRuleColumn, DayRuleText(rule), where);
}

void SetAmountGrouping(db::Connection& connection, AmountGrouping grouping,
                       std::string_view where) {
  SetText(connection, kAmountGroupingColumn, AmountGroupingText(grouping), where);
}

void AddSettingsColumns(db::Connection& connection) {
  const std::optional<std::vector<db::ColumnInfo>> columns = SettingsColumns(connection);
  if (!columns) return;
  for (std::string_view column : {kDayRuleColumn, kAmountGroupingColumn}) {
    if (!HasColumn(*columns, column)) {
      connection.backend()->ExecuteNative("ALTER TABLE at_ILC ADD COLUMN " + std::string(column) +
                                          " TEXT");
    }
  }
}

}  // namespace rnt::refhost
