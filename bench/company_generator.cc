#include "company_generator.h"

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/sqlite_backend.h"
#include "refhost/company_files.h"
#include "refhost/company_schema.h"
#include "rnt/date.h"
#include "rnt/value_text.h"

namespace rnt::bench {
namespace {

constexpr int32_t kParty = 12;
constexpr int32_t kFirstItem = 1001;

std::string Iso(Date date) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year(), date.month(), date.day());
  return text;
}

std::string PartyName(int32_t party) {
  return party == kParty ? "Sharma Builders" : "Party " + std::to_string(party);
}

// One financial year's movements of every party, item by item.
void FillYear(db::Connection& year, Date start, const CompanySize& size, std::mt19937& random,
              int32_t& voucher) {
  year.Execute("BEGIN");
  year.Execute("Insert Into FinancialYear values ('" + Iso(start) + "')");
  // RNT_BENCH_DAY_RULE='as before' measures the old day rules beside the
  // default, both days.
  if (const char* rule = std::getenv("RNT_BENCH_DAY_RULE")) {
    year.Execute(std::string("Insert Into at_ILC (DayRule) values ('") + rule + "')");
  }
  for (int32_t party = kParty; party < kParty + size.parties; ++party) {
    year.Execute("Insert Into Master1 values (" + std::to_string(party) + ", 2, '" +
                 PartyName(party) + "', NULL)");
  }
  for (int item = 0; item < size.items; ++item) {
    year.Execute("Insert Into Master1 values (" + std::to_string(kFirstItem + item) +
                 ", 6, 'Item " + std::to_string(item) + "', NULL)");
  }
  const int rows_per_item = size.movement_rows_per_year / size.items;
  for (int32_t party = kParty; party < kParty + size.parties; ++party) {
    for (int item = 0; item < size.items; ++item) {
      int32_t code = kFirstItem + item;
      double balance = 0;
      for (int row = 0; row < rows_per_item; ++row) {
        // Days spread over the year; now and then two challans share a day.
        int day = row * 360 / rows_per_item;
        bool issue = balance <= 0 || random() % 3 != 0;
        double quantity = issue ? 1 + random() % 20 : 1 + random() % static_cast<int>(balance);
        balance += issue ? quantity : -quantity;
        ++voucher;
        std::string date = Iso(start.AddDays(day));
        year.Execute(
            "Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, "
            "MasterCode1, MasterCode2, Value1) values (" +
            std::to_string(voucher) + ", " + (issue ? "4" : "11") + ", '" + date + "', 'CH" +
            std::to_string(voucher) + "', " + std::to_string(voucher) + ", 3, 0, " +
            std::to_string(code) + ", " + std::to_string(party) + ", " +
            NumberText(issue ? -quantity : quantity) + ")");
        if (!issue && random() % 25 == 0) {
          year.Execute(
              "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, MasterCode1, Cm1, "
              "Value1) values (" +
              std::to_string(voucher) + ", 1, 1, 11, '" + date + "', " + std::to_string(code) +
              ", " + std::to_string(party) + ", 1)");
          year.Execute("Insert Into ItemDesc (VchCode, SrNo, Desc1, Desc2) values (" +
                       std::to_string(voucher) + ", 1, '" + (random() % 2 ? "Lost" : "Damage") +
                       "', '25')");
        }
      }
    }
  }
  year.Execute("COMMIT");
}

}  // namespace

GeneratedCompany GenerateCompany(const std::filesystem::path& folder, const CompanySize& size) {
  GeneratedCompany company;
  company.previous_year = folder / "company-2020.db";
  company.current_year = folder / "company-2021.db";
  std::mt19937 random(size.seed);
  int32_t voucher = 0;
  for (const auto& [path, start] : {std::pair{company.previous_year, Date::FromYmd(2020, 4, 1)},
                                    std::pair{company.current_year, Date::FromYmd(2021, 4, 1)}}) {
    db::SqliteBackend::CreateFile(path.string());
    db::Connection year;
    year.Open(refhost::JetConnectionText(path));
    refhost::CreateHostTables(year);
    refhost::CreateAddonTables(year);
    FillYear(year, start, size, random, voucher);
  }
  if (size.voucher_items > 0) {
    db::Connection previous;
    previous.Open(refhost::JetConnectionText(company.previous_year));
    previous.Execute("BEGIN");
    previous.Execute("Insert Into Tran1 values (90001, 9, '2020-04-10', 'RV1', 12)");
    previous.Execute("Insert Into VchOtherInfo values (90001, 'Rent', 'Rental')");
    for (int item = 0; item < size.voucher_items; ++item) {
      std::string line = std::to_string(item + 1);
      previous.Execute(
          "Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, VchNo, MasterCode1, Cm1, "
          "Value1) values (90001, " +
          line + ", 7, 9, '2020-04-10', 'RV1', " + std::to_string(kFirstItem + item) + ", 12, 5)");
      previous.Execute(
          "Insert Into ItemDesc (VchCode, SrNo, Desc6, Desc11, Desc12) values (90001, " + line +
          ", '5', 'CH0', '01-04-2020')");
    }
    previous.Execute("COMMIT");
  }
  db::Connection current;
  current.Open(refhost::JetConnectionText(company.current_year));
  current.Execute("BEGIN");
  for (int32_t party = kParty; party < kParty + size.parties; ++party) {
    for (int item = 0; item < size.items; ++item) {
      current.Execute("Insert Into at_PartyPriceConfig values (" + std::to_string(party) + ", " +
                      std::to_string(kFirstItem + item) + ", 1.5, 0, 250)");
    }
  }
  current.Execute("COMMIT");
  return company;
}

}  // namespace rnt::bench
