#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "refhost/company_files.h"
#include "refhost/year_answers.h"
#include "rnt/collection.h"
#include "rnt/host.h"

namespace rnt::refhost {

// The host object that the reference host hands to the add-on (item 50 of
// p_Data): the user a run is made for, and the company's data of the current
// and the previous financial year, read through the command's connection to
// each year.
// The totals of a party's movement days and its lost and damaged pieces are
// answered from the party's rows read once (YearAnswers), the rest by the
// database.
class ReferenceHostApplication : public HostApplication {
 public:
  ReferenceHostApplication(std::string user_name, const CompanyData& company);

  Variant GetCurrentUserName() override;
  // Runs the query (the variant's text) on the current year's file. Throws
  // rnt::Error when the file cannot be opened or the query fails.
  std::shared_ptr<HostRecordset> GetRecordset(const Variant& sql) override;
  // The same on the previous year's file. Throws rnt::Error when no such file
  // was given or it cannot be opened.
  std::shared_ptr<HostRecordset> GetRecordsetFromPrevFY(const Variant& sql) override;

  // The statements sent to each year's data since the last call, by the
  // queries and by whatever else shares the command's connections.
  struct StatementsSent {
    size_t current_year = 0;
    size_t previous_year = 0;
  };
  StatementsSent TakeStatementsSent();

 private:
  std::string user_name_;
  std::shared_ptr<YearFile> current_;
  std::shared_ptr<YearFile> previous_;  // null without a previous year's file
  // The party's day totals and marked pieces of each year, read once.
  YearAnswers current_answers_;
  YearAnswers previous_answers_;
};

// The company file object of p_Data (item 5): its Name is the file's full path.
std::shared_ptr<NamedObject> MakeCompanyObject(const std::filesystem::path& file);

// The p_Data collection with which the host activates the add-on on a company
// kept in files: item 4 the company code (the current file's name without
// folder and extension), item 5 the company file object, item 6 the database
// type 1 (a company file), item 50 the host object.
Collection MakeActivationData(const CompanyFiles& files, std::shared_ptr<HostApplication> host);

}  // namespace rnt::refhost
