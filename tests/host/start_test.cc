// The entry class as a host drives it: activation, Start's sequence on the
// screen, the three database steps and the work table.
#include <dlfcn.h>

#include <fstream>

#include "db/work_table.h"
#include "host/company_context.h"
#include "host/database_step.h"
#include "host/kora_win.h"
#include "platform/recording_windowing.h"
#include "refhost/components.h"
#include "refhost/host_application.h"
#include "support/company_file.h"

namespace rnt::host {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::Field;
using ::testing::HasSubstr;

class StartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetThreadCompanyContext();
    company_.Execute("Insert Into FinancialYear values ('2021-04-01')");
    company_.Execute("Insert Into Master1 values (12, 2, 'Sharma Builders', NULL)");
    files_.current = company_.path();
    HostServices& services = ThreadCompanyContext().services;
    services.components =
        std::make_shared<refhost::ReferenceComponentFactory>(refhost::CompanyData(files_));
    services.windowing = windowing_;
    services.addon_folder = addon_folder_.path();
  }
  void TearDown() override { ResetThreadCompanyContext(); }

  void Activate(const std::string& user) {
    Collection p_data = refhost::MakeActivationData(
        files_,
        std::make_shared<refhost::ReferenceHostApplication>(user, refhost::CompanyData(files_)));
    addon_.ActivateDB(p_data);
  }

  rnt::testing::CompanyFile company_;
  rnt::testing::TempFolder addon_folder_;
  refhost::CompanyFiles files_;
  std::shared_ptr<platform::RecordingWindowing> windowing_ =
      std::make_shared<platform::RecordingWindowing>();
  KoraWin addon_;
};

const std::vector<std::string> kStartSequence = {"yield",      "yield",      "pointer 11", "yield",
                                                 "yield",      "pointer 11", "yield",      "yield",
                                                 "sleep 4000", "pointer 0",  "yield",      "yield"};

TEST_F(StartTest, ConnectsToTheFileThatItem5NamesCompletesTheWorkTableAndClearsTheUsersLines) {
  std::ofstream(addon_folder_.path() / "tmpQWT5731_O'Brien.dat", std::ios::binary)
      << "05-04-2021<?#>Sharma Builders<?#>05-04-2021\r\n";
  company_.Execute(db::WorkTableStatements()[0]);  // an older work table
  company_.Execute(
      "Insert Into atShut (SrNo, Uname) values (1, 'O''Brien'), (2, 'OBrien'), (3, 'anita')");
  Activate("O'Brien");
  CompanyContext& context = ThreadCompanyContext();
  EXPECT_EQ(context.database_type, 1);
  EXPECT_EQ(context.company_code, company_.path().string());
  EXPECT_EQ(context.database_path, company_.path().string());
  addon_.Start();
  EXPECT_EQ(windowing_->events(), kStartSequence);
  EXPECT_EQ(windowing_->pointer(), platform::kDefaultPointer);  // the default pointer at the end
  EXPECT_EQ(addon_.LastRunReport().FirstDatabaseFailure(), nullptr);
  EXPECT_EQ(company_.connection().backend()->TableColumns("atShut").size(), 18u);
  EXPECT_EQ(rnt::testing::RowTexts(company_.connection(), "select Uname from atShut", {"Uname"}),
            (std::vector<std::string>{"OBrien", "anita"}));
  // Connected again after the run.
  ASSERT_TRUE(context.connection);
  EXPECT_EQ(context.connection->State(), ObjectState::kOpen);
  EXPECT_EQ(context.connection->connection_text(),
            rnt::testing::JetConnectionText(company_.path()));
  EXPECT_EQ(context.user_name, Variant("O'Brien"));
}

TEST_F(StartTest, WithoutActivationEveryHostCallFailsAndStartStillEndsNormally) {
  addon_.Start();
  EXPECT_EQ(windowing_->events(), kStartSequence);
  RunReport report = addon_.LastRunReport();
  EXPECT_THAT(report.skipped, Contains(Field(&SkippedStep::failure, HasSubstr("host object"))));
  // Database type 0 takes the server route, and Server.Txt is not there.
  const SkippedStep* failure = report.FirstDatabaseFailure();
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(failure->step, "open the company database");
}

// A number for the database type may come as text; a later activation
// without items 4 and 6 leaves both as they were, and replaces the
// company-info component. Type 2 takes the server route.
TEST_F(StartTest, ActivationKeepsWhatItCannotReadAndTheServerRouteRecordsWhyItCouldNotConnect) {
  std::ofstream(addon_folder_.path() / "Server.Txt") << "x;db.local;clerk;pw\r\nsecond line\n";
  Collection p_data;
  p_data.Set(4, int32_t{1});
  p_data.Set(6, "2");
  addon_.ActivateDB(p_data);
  CompanyContext& context = ThreadCompanyContext();
  EXPECT_EQ(context.database_type, 2);
  EXPECT_EQ(context.company_code, "1");
  EXPECT_EQ(context.database_path, "");
  HostCompanyInfo* first_info = context.company_info.get();
  Collection empty;
  addon_.ActivateDB(empty);
  EXPECT_EQ(context.database_type, 2);
  EXPECT_EQ(context.company_code, "1");
  EXPECT_NE(context.company_info.get(), first_info);
  addon_.Start();
  const SkippedStep* failure = addon_.LastRunReport().FirstDatabaseFailure();
  ASSERT_NE(failure, nullptr);
  EXPECT_THAT(failure->failure, AllOf(HasSubstr("1_db12021"), HasSubstr("db.local")));
  EXPECT_EQ(windowing_->events(), kStartSequence);
}

TEST_F(StartTest, NeverReadsAParametersFileOutsideItsFolderWhateverTheUserIsCalled) {
  std::filesystem::create_directories(addon_folder_.path() / "sub");
  std::ofstream(addon_folder_.path() / "sub" / "tmpQWT5731_.dat") << "05-04-2021<?#>x<?#>y";
  Activate("../sub/");
  addon_.Start();
  EXPECT_THAT(addon_.LastRunReport().skipped,
              Contains(AllOf(Field(&SkippedStep::step, "read the parameters file"),
                             Field(&SkippedStep::failure, HasSubstr("'../sub/'")))));
}

TEST(ServerConnection, IsBuiltFromServerTxtTheCompanyCodeAndTheYear) {
  EXPECT_EQ(CatalogueName("0001", "21"), "0001_db12021");
  EXPECT_EQ(ServerConnectionText("unused;db.local:5432;clerk;s3cret", "0001_db12021"),
            "Provider = SQLOLEDB.1;Data Source=db.local:5432;Initial Catalog= "
            "0001_db12021;User ID=clerk;Password=s3cret;");
  EXPECT_ERROR(ServerConnectionText("x;server;user", "c"), "3 field(s)");
}

TEST(EntryPoints, AHostCreatesIKoraWinByClassNameFromTheLoadedLibrary) {
  void* library = dlopen(RNT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto create = reinterpret_cast<CreateObjectFunction>(dlsym(library, "rnt_create_object"));
  auto destroy = reinterpret_cast<DestroyObjectFunction>(dlsym(library, "rnt_destroy_object"));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);
  IKoraWin* object = create("IKoraWin");
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->LastRunReport().skipped.size(), 0u);
  destroy(object);
  EXPECT_EQ(create("NoSuchClass"), nullptr);
  dlclose(library);
}

}  // namespace
}  // namespace rnt::host
