#include "refhost/host_application.h"

#include "db/recordset.h"
#include "rnt/error.h"

namespace rnt::refhost {
namespace {

std::shared_ptr<HostRecordset> RunQuery(db::Connection& connection, const Variant& sql) {
  auto rows = std::make_shared<db::Recordset>();
  rows->Open(sql.ToText(), connection);
  return rows;
}

// A company file as the add-on sees it: only its full path.
class CompanyFileObject : public NamedObject {
 public:
  explicit CompanyFileObject(std::filesystem::path file) : file_(std::move(file)) {}
  std::string Name() const override { return file_.string(); }

 private:
  std::filesystem::path file_;
};

}  // namespace

ReferenceHostApplication::ReferenceHostApplication(std::string user_name,
                                                   const CompanyData& company)
    : user_name_(std::move(user_name)),
      current_(company.current()),
      previous_(company.previous()) {}

Variant ReferenceHostApplication::GetCurrentUserName() { return Variant(user_name_); }

std::shared_ptr<HostRecordset> ReferenceHostApplication::GetRecordset(const Variant& sql) {
  db::Connection& connection = current_->Connection();
  if (auto answer = current_answers_.TryAnswer(sql.ToText(), connection)) return answer;
  return RunQuery(connection, sql);
}

std::shared_ptr<HostRecordset> ReferenceHostApplication::GetRecordsetFromPrevFY(
    const Variant& sql) {
  if (!previous_) throw Error("no previous financial year's file was given");
  db::Connection* connection = nullptr;
  try {
    connection = &previous_->Connection();
  } catch (const DatabaseUnavailable& error) {
    throw DatabaseUnavailable("the previous financial year's file: " + std::string(error.what()));
  } catch (const Error& error) {
    throw Error("no previous financial year's file: " + std::string(error.what()));
  }
  if (auto answer = previous_answers_.TryAnswer(sql.ToText(), *connection)) return answer;
  return RunQuery(*connection, sql);
}

ReferenceHostApplication::StatementsSent ReferenceHostApplication::TakeStatementsSent() {
  return {current_->TakeStatementsSent(), previous_ ? previous_->TakeStatementsSent() : 0};
}

std::shared_ptr<NamedObject> MakeCompanyObject(const std::filesystem::path& file) {
  return std::make_shared<CompanyFileObject>(std::filesystem::absolute(file).lexically_normal());
}

Collection MakeActivationData(const CompanyFiles& files, std::shared_ptr<HostApplication> host) {
  Collection p_data;
  if (files.server) {
    // A company on the server is known by its code; the add-on finds the
    // catalogue from it and from the financial year.
    p_data.Set(4, Variant(files.server->company_code));
    p_data.Set(6, Variant(int16_t{2}));
  } else {
    p_data.Set(4, Variant(files.current.stem().string()));
    p_data.Set(5, Variant(std::shared_ptr<Object>(MakeCompanyObject(files.current))));
    p_data.Set(6, Variant(int16_t{1}));
  }
  p_data.Set(50, Variant(std::shared_ptr<Object>(std::move(host))));
  return p_data;
}

}  // namespace rnt::refhost
