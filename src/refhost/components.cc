#include "refhost/components.h"

#include "core/text_util.h"
#include "db/recordset.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

std::string MasterWord(int16_t kind) {
  return kind == HostMasterLookup::kParty ? "party" : "master of type " + std::to_string(kind);
}

}  // namespace

Variant ReferenceCalendar::YearDate() {
  const std::string file = current_->name();
  db::Recordset rows;
  rows.Open("select StartDate from FinancialYear", current_->Connection());
  if (rows.Eof()) throw Error("no financial year start date in " + file);
  const Variant start = rows.Field("StartDate");
  if (start.IsNull() || start.IsEmpty()) {
    throw Error("the financial year start date is empty in " + file);
  }
  try {
    return Variant(start.ToDate());
  } catch (const Error&) {
    throw Error("the financial year start date " + Describe(start) + " in " + file +
                " is not a date");
  }
}

int32_t ReferenceMasterLookup::CodeOf(const std::string& name, int16_t kind) {
  // Both sides are trimmed and folded to lower case; like the database's
  // lower(), the folding covers the letters A to Z only.
  const std::string wanted = ToLower(TrimBlanks(name));
  db::Recordset rows;
  rows.Open("select Code from Master1 where MasterType=" + std::to_string(kind) +
                " and lower(trim(Name))=" + QuotedText(wanted) + " order by Code",
            current_->Connection());
  if (rows.Eof()) {
    throw Error("no " + MasterWord(kind) + " named '" + name + "' in Master1 of " +
                current_->name());
  }
  const Variant code = rows.Field("Code");
  if (code.IsNull()) {
    throw Error("the " + MasterWord(kind) + " named '" + name + "' has no code in Master1 of " +
                current_->name());
  }
  return code.ToInt32();
}

int32_t ReferenceMasterLookup::RateMasterOf(const Variant& party_code) {
  int32_t code = 0;
  try {
    code = party_code.ToInt32();
  } catch (const Error&) {
    throw Error("cannot look up the rate master of " + Describe(party_code) +
                ": it is not a party code");
  }
  db::Recordset rows;
  rows.Open("select RateMaster from Master1 where MasterType=" + std::to_string(kParty) +
                " and Code=" + std::to_string(code),
            current_->Connection());
  if (rows.Eof()) {
    throw Error("no party with code " + std::to_string(code) + " in Master1 of " +
                current_->name());
  }
  const Variant rate_master = rows.Field("RateMaster");
  if (rate_master.IsNull()) {
    throw Error("party " + std::to_string(code) + " has no rate master in Master1 of " +
                current_->name());
  }
  return rate_master.ToInt32();
}

bool ReferenceYearProbe::HasYear(int16_t& /*year*/) {
  if (!previous_) return false;
  try {
    previous_->Connection();
    return true;
  } catch (const DatabaseUnavailable&) {
    // The year's file is there but cannot be read (damaged, not a database):
    // taking it for a year that does not exist would bill without it.
    throw;
  } catch (const Error&) {
    return false;
  }
}

std::unique_ptr<HostCompanyInfo> ReferenceComponentFactory::NewCompanyInfo() {
  return std::make_unique<ReferenceCompanyInfo>();
}

std::unique_ptr<HostCalendar> ReferenceComponentFactory::NewCalendar() {
  return std::make_unique<ReferenceCalendar>(current_);
}

std::unique_ptr<HostMasterLookup> ReferenceComponentFactory::NewMasterLookup() {
  return std::make_unique<ReferenceMasterLookup>(current_);
}

std::unique_ptr<HostYearProbe> ReferenceComponentFactory::NewYearProbe() {
  return std::make_unique<ReferenceYearProbe>(previous_);
}

}  // namespace rnt::refhost
