#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "refhost/company_files.h"
#include "rnt/host.h"

namespace rnt::refhost {

// Told about the company when the add-on is activated. The reference host
// keeps the company in its own files, so it only remembers what it was told.
class ReferenceCompanyInfo : public HostCompanyInfo {
 public:
  void SetDatabaseType(int16_t& database_type) override { database_type_ = database_type; }
  void Attach(Collection& p_data) override { attached_items_ = p_data.Count(); }

  std::optional<int16_t> database_type() const { return database_type_; }
  // The number of items of the p_Data collection it was attached to.
  std::optional<int> attached_items() const { return attached_items_; }

 private:
  std::optional<int16_t> database_type_;
  std::optional<int> attached_items_;
};

// The financial-year date: FinancialYear.StartDate of the current year's file.
class ReferenceCalendar : public HostCalendar {
 public:
  explicit ReferenceCalendar(std::shared_ptr<YearFile> current) : current_(std::move(current)) {}
  // The start date as a date. Throws rnt::Error when the file has no start
  // date or holds one that is not a date.
  Variant YearDate() override;

 private:
  std::shared_ptr<YearFile> current_;
};

// Masters of the current year's file (Master1) by name, and a party's rate
// master.
class ReferenceMasterLookup : public HostMasterLookup {
 public:
  explicit ReferenceMasterLookup(std::shared_ptr<YearFile> current)
      : current_(std::move(current)) {}
  // The Code of the master of that MasterType whose Name equals the text,
  // surrounding blanks and letter case aside. Throws rnt::Error naming the
  // text when there is none.
  int32_t CodeOf(const std::string& name, int16_t kind) override;
  // The RateMaster of the party with that code. Throws rnt::Error when the
  // code is not a number, there is no such party or its RateMaster is NULL.
  int32_t RateMasterOf(const Variant& party_code) override;

 private:
  std::shared_ptr<YearFile> current_;
};

// Whether the previous financial year's data can be read: the company has a
// previous year's file and it opens as a database.
class ReferenceYearProbe : public HostYearProbe {
 public:
  // Null when the company has no previous year's file.
  explicit ReferenceYearProbe(std::shared_ptr<YearFile> previous)
      : previous_(std::move(previous)) {}
  // The year is not needed: the reference host knows one previous year only.
  // False when there is none or it cannot be reached; throws
  // rnt::DatabaseUnavailable when its file is there but cannot be read.
  bool HasYear(int16_t& year) override;

 private:
  std::shared_ptr<YearFile> previous_;
};

// Makes the four closed components over the company's data, on the
// connections of the command that makes the run.
class ReferenceComponentFactory : public HostComponentFactory {
 public:
  explicit ReferenceComponentFactory(const CompanyData& company)
      : current_(company.current()), previous_(company.previous()) {}

  std::unique_ptr<HostCompanyInfo> NewCompanyInfo() override;
  std::unique_ptr<HostCalendar> NewCalendar() override;
  std::unique_ptr<HostMasterLookup> NewMasterLookup() override;
  std::unique_ptr<HostYearProbe> NewYearProbe() override;

 private:
  std::shared_ptr<YearFile> current_;
  std::shared_ptr<YearFile> previous_;
};

}  // namespace rnt::refhost
