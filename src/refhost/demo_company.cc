#include "refhost/demo_company.h"

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/sqlite_backend.h"
#include "refhost/company_files.h"
#include "refhost/company_schema.h"
#include "rnt/value_text.h"

namespace rnt::refhost {
namespace {

constexpr int32_t kSharma = 11;
constexpr int32_t kVerma = 12;
constexpr int32_t kKapoor = 13;
constexpr int32_t kMetro = 14;
constexpr int32_t kStandardRates = 90;
// Master1.MasterType of the masters the kinds above are not: a rate master
// names rates that parties rent at, and is billed for nothing itself.
constexpr int32_t kPartyKind = 2;
constexpr int32_t kItemKind = 6;
constexpr int32_t kRateMasterKind = 8;

struct DemoItem {
  int32_t code;
  const char* name;
  double rate;         // per piece and day
  double piece_value;  // charged for a lost piece
};

const std::vector<DemoItem>& Items() {
  static const std::vector<DemoItem> kItems = {
      {201, "Shuttering plate 600x300", 1.20, 900},
      {202, "Shuttering plate 900x600", 2.10, 1650},
      {203, "Adjustable prop 3.0 m", 0.90, 1200},
      {204, "Adjustable prop 4.0 m", 1.10, 1500},
      {205, "Telescopic span 2.0 m", 1.50, 2200},
      {206, "Telescopic span 3.0 m", 1.80, 2800},
      {207, "Right-angle clamp", 0.15, 140},
      {208, "Swivel clamp", 0.18, 160},
      {209, "Scaffold tube 6 m", 0.60, 950},
      {210, "Base jack", 0.35, 420},
      {211, "U-head jack", 0.40, 480},
      {212, "Ledger 2.5 m", 0.45, 600},
  };
  return kItems;
}

// One year's company file, filled with statements in the host's dialect.
class DemoYear {
 public:
  DemoYear(const std::filesystem::path& file, const std::string& year_start) {
    db::SqliteBackend::CreateFile(file.string());
    connection_.Open(JetConnectionText(file));
    CreateHostTables(connection_);
    CreateAddonTables(connection_);
    connection_.Execute("BEGIN");
    Run("Insert Into FinancialYear values (#" + year_start + "#)");
    Run("Insert Into CompanyInfo values ('Shree Ganesh Shuttering Stores', 'Shed 12, Transport "
        "Nagar, Jaipur 302003, Rajasthan\nPhone 0141 260 4417 · GSTIN 08AAKFS4417R1Z3')");
    for (const auto& [code, kind, name, master] :
         std::vector<std::tuple<int32_t, int32_t, std::string, std::string>>{
             {kSharma, kPartyKind, "Sharma Builders", "NULL"},
             {kVerma, kPartyKind, "Verma & Sons", std::to_string(kStandardRates)},
             {kKapoor, kPartyKind, "Kapoor Constructions", "NULL"},
             {kMetro, kPartyKind, "Metro Infra Projects", "NULL"},
             {kStandardRates, kRateMasterKind, "Standard rates", "NULL"}}) {
      Run("Insert Into Master1 values (" + std::to_string(code) + ", " + std::to_string(kind) +
          ", '" + name + "', " + master + ")");
    }
    for (const DemoItem& item : Items()) {
      Run("Insert Into Master1 values (" + std::to_string(item.code) + ", " +
          std::to_string(kItemKind) + ", '" + item.name + "', NULL)");
    }
  }
  ~DemoYear() {
    try {
      connection_.Execute("COMMIT");
    } catch (const std::exception&) {
      // the file is left as far as it was written
    }
  }

  void Run(const std::string& sql) { connection_.Execute(sql); }

  // A line of a challan: issued (a positive quantity) or returned (a
  // negative one); returned pieces may be marked lost, or damaged by a
  // percentage.
  struct Line {
    int32_t item;
    double quantity;
    std::string marker = "";
    std::string percent = "";
  };

  // A challan's stock entries. A lost or damaged piece comes back on the
  // return challan like any other, so it leaves the party's balance, and its
  // voucher line carries the mark.
  void Challan(const std::string& day, const std::string& number, int32_t party,
               const std::vector<Line>& lines) {
    int32_t voucher = ++last_voucher_;
    int32_t line_number = 0;
    for (const auto& [item, quantity, marker, percent] : lines) {
      ++line_number;
      bool issue = quantity > 0;
      Run("Insert Into Tran3 (VchCode, VchType, Date, [No], RefCode, RecType, TranType, "
          "MasterCode1, MasterCode2, Value1) values (" +
          std::to_string(voucher) + ", " + (issue ? "4" : "11") + ", #" + day + "#, '" + number +
          "', " + std::to_string(voucher) + ", 3, 0, " + std::to_string(item) + ", " +
          std::to_string(party) + ", " + NumberText(-quantity) + ")");
      if (marker.empty()) continue;
      Run("Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, VchNo, MasterCode1, Cm1, "
          "Value1) values (" +
          std::to_string(voucher) + ", " + std::to_string(line_number) + ", 1, 11, #" + day +
          "#, '" + number + "', " + std::to_string(item) + ", " + std::to_string(party) + ", " +
          NumberText(-quantity) + ")");
      Run("Insert Into ItemDesc (VchCode, SrNo, Desc1, Desc2) values (" + std::to_string(voucher) +
          ", " + std::to_string(line_number) + ", '" + marker + "', '" + percent + "')");
    }
  }

  void Rates() {
    for (const DemoItem& item : Items()) {
      for (int32_t party : {kSharma, kKapoor, kMetro, kStandardRates}) {
        // Kapoor has a negotiated discount of a tenth.
        double rate = party == kKapoor ? item.rate * 0.9 : item.rate;
        Run("Insert Into at_PartyPriceConfig values (" + std::to_string(party) + ", " +
            std::to_string(item.code) + ", " + NumberText(rate) + ", 0, " +
            NumberText(item.piece_value) + ")");
      }
    }
    // Its bills print amounts the Indian way, as its customers read them.
    Run("Insert Into at_ILC (bs1, bs2, DayRule, AmountGrouping) values (1, 2, 'both days', "
        "'indian')");
  }

  // The rent voucher that posted a party's rent up to its date.
  void RentVoucher(
      int32_t code, const std::string& day, int32_t party,
      const std::vector<std::tuple<int32_t, double, std::string, std::string>>& items) {
    Run("Insert Into Tran1 values (" + std::to_string(code) + ", 9, #" + day + "#, 'RENT-" +
        std::to_string(code) + "', " + std::to_string(party) + ")");
    Run("Insert Into VchOtherInfo values (" + std::to_string(code) + ", 'R', 'Rental')");
    int32_t line = 0;
    for (const auto& [item, carried, challan, challan_date] : items) {
      ++line;
      Run("Insert Into Tran2 (VchCode, SrNo, RecType, VchType, Date, VchNo, MasterCode1, Cm1, "
          "Value1) values (" +
          std::to_string(code) + ", " + std::to_string(line) + ", 7, 9, #" + day + "#, 'RENT-" +
          std::to_string(code) + "', " + std::to_string(item) + ", " + std::to_string(party) +
          ", " + NumberText(carried) + ")");
      Run("Insert Into ItemDesc (VchCode, SrNo, Desc6, Desc11, Desc12) values (" +
          std::to_string(code) + ", " + std::to_string(line) + ", '" + NumberText(carried) +
          "', '" + challan + "', '" + challan_date + "')");
    }
  }

 private:
  db::Connection connection_;
  int32_t last_voucher_ = 5000;
};

}  // namespace

DemoCompany MakeDemoCompany(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  DemoCompany demo;
  demo.previous_year = std::filesystem::absolute(folder / "demo-2023-24.db");
  demo.current_year = std::filesystem::absolute(folder / "demo-2024-25.db");
  {
    DemoYear previous(demo.previous_year, "01-04-2023");
    previous.Challan("12-02-2024", "DC-1041", kSharma, {{201, 120}, {203, 60}, {207, 200}});
    previous.Challan("26-02-2024", "DC-1057", kSharma, {{205, 24}, {203, 20}});
    previous.Challan("15-03-2024", "RC-311", kSharma, {{207, -50}});
    previous.Challan("20-03-2024", "DC-1102", kVerma, {{209, 80}, {210, 40}});
  }
  {
    DemoYear current(demo.current_year, "01-04-2024");
    current.Rates();
    // Sharma Builders: on site since February; returns and a second tower in the new year.
    current.Challan("08-04-2024", "RC-402", kSharma, {{201, -40}, {203, -20}});
    current.Challan("22-04-2024", "DC-1188", kSharma, {{202, 30}, {204, 24}});
    current.Challan("22-04-2024", "DC-1189", kSharma, {{202, 10}});  // two challans on one day
    current.Challan("15-05-2024", "RC-455", kSharma,
                    {{205, -23}, {205, -1, "Damage", "25"}, {207, -148}, {207, -2, "Lost"}});
    current.Challan("10-06-2024", "DC-1260", kSharma, {{211, 36}, {210, 36}});
    // Kapoor Constructions: billed up to 31 May; June's challans follow.
    current.Challan("03-04-2024", "DC-1150", kKapoor, {{203, 80}, {212, 60}});
    current.Challan("20-04-2024", "DC-1170", kKapoor, {{206, 16}});
    current.RentVoucher(7001, "31-05-2024", kKapoor,
                        {{203, 80, "DC-1150", "03-04-2024"},
                         {212, 60, "DC-1150", "03-04-2024"},
                         {206, 16, "DC-1170", "20-04-2024"}});
    current.Challan("05-06-2024", "RC-488", kKapoor, {{203, -30}});
    current.Challan("12-06-2024", "DC-1275", kKapoor, {{208, 120}});
    current.Challan("24-06-2024", "RC-497", kKapoor,
                    {{206, -16}, {212, -9}, {212, -1, "Damage", "40"}});
    // Verma & Sons rents at the standard rates.
    current.Challan("18-04-2024", "RC-420", kVerma, {{209, -30}});
    current.Challan("02-05-2024", "DC-1201", kVerma, {{203, 40}, {207, 160}});
    // Metro Infra Projects: a short job in June.
    current.Challan("14-06-2024", "DC-1281", kMetro, {{209, 50}, {207, 100}});
    current.Challan("28-06-2024", "RC-510", kMetro, {{209, -50}, {207, -96}, {207, -4, "L"}});
  }
  return demo;
}

}  // namespace rnt::refhost
