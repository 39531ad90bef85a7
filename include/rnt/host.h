#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "rnt/collection.h"
#include "rnt/variant.h"

// What the add-on takes from the host application: the host object, the
// record sets it hands out, and four closed components that the host
// provides through a factory. Every call may fail (throw); the add-on then
// skips the step and keeps the value the call would have set.
namespace rnt {

// Whether a connection or a record set is open (the platform's state codes).
enum class ObjectState { kClosed = 0, kOpen = 1 };

// The rows of a query, read front to back, as the host hands them out.
class HostRecordset {
 public:
  virtual ~HostRecordset() = default;
  virtual bool Eof() = 0;
  virtual void MoveNext() = 0;
  virtual long RecordCount() = 0;
  // A column of the current row by name, without regard to letter case.
  virtual Variant Field(std::string_view name) = 0;
  virtual ObjectState State() const = 0;
  virtual void Close() = 0;
};

// The host's own object (item 50 of p_Data): the current user and the
// company's data of the current and the previous financial year.
class HostApplication : public Object {
 public:
  virtual Variant GetCurrentUserName() = 0;
  // Runs a query on the current financial year's company data.
  virtual std::shared_ptr<HostRecordset> GetRecordset(const Variant& sql) = 0;
  // Runs a query on the previous financial year's company data.
  virtual std::shared_ptr<HostRecordset> GetRecordsetFromPrevFY(const Variant& sql) = 0;
};

// An object with a name: item 5 of p_Data, whose Name is the full path of the
// company's database file.
class NamedObject : public Object {
 public:
  virtual std::string Name() const = 0;
};

// Told about the open company when it is activated.
class HostCompanyInfo {
 public:
  virtual ~HostCompanyInfo() = default;
  virtual void SetDatabaseType(int16_t& database_type) = 0;
  virtual void Attach(Collection& p_data) = 0;
};

// The financial-year date: the first day of the current financial year.
class HostCalendar {
 public:
  virtual ~HostCalendar() = default;
  virtual Variant YearDate() = 0;
};

// Master codes of parties by their names, and the rate master of a party.
class HostMasterLookup {
 public:
  virtual ~HostMasterLookup() = default;
  static constexpr int16_t kParty = 2;
  virtual int32_t CodeOf(const std::string& name, int16_t kind) = 0;
  virtual int32_t RateMasterOf(const Variant& party_code) = 0;
};

// Whether a financial year's data can be read (the previous year's, here).
class HostYearProbe {
 public:
  virtual ~HostYearProbe() = default;
  virtual bool HasYear(int16_t& year) = 0;
};

// Makes the host's four closed components. A host that cannot make one
// returns nullptr or throws; the add-on skips the step.
class HostComponentFactory {
 public:
  virtual ~HostComponentFactory() = default;
  virtual std::unique_ptr<HostCompanyInfo> NewCompanyInfo() = 0;
  virtual std::unique_ptr<HostCalendar> NewCalendar() = 0;
  virtual std::unique_ptr<HostMasterLookup> NewMasterLookup() = 0;
  virtual std::unique_ptr<HostYearProbe> NewYearProbe() = 0;
};

}  // namespace rnt
