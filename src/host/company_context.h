#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/recordset.h"
#include "engine/day_rule.h"
#include "rnt/host.h"
#include "rnt/ikorawin.h"
#include "rnt/run_report.h"
#include "rnt/variant.h"
#include "ui/frm_error.h"

namespace rnt::engine {
class PartyMarkedLines;
class PartyStock;
}  // namespace rnt::engine

namespace rnt::host {

// An item's row of the rate table for one master code: the rent rate per
// day (Value) and the value of one piece (Value3).
struct PriceRow {
  Variant rent;
  Variant piece;
};
// A master code's price rows by item code.
using PriceRows = std::map<double, PriceRow>;

// Everything the add-on keeps between calls: what ActivateDB was told about
// the open company, the host's components, the connection and the work-table
// record set, the settings, the counters and the message form. There is one
// per host thread; every IKoraWin on that thread shares it, and it lives as
// long as the library is loaded.
struct CompanyContext {
  int16_t database_type = 0;  // 1: a company file; anything else: a server catalogue
  Variant host_object;        // item 50 of p_Data, an object reference
  std::string company_code;
  std::string database_path;
  std::unique_ptr<HostCompanyInfo> company_info;
  std::unique_ptr<HostCalendar> calendar;
  std::unique_ptr<HostMasterLookup> master_lookup;
  std::unique_ptr<HostYearProbe> year_probe;
  Variant user_name;
  std::unique_ptr<db::Connection> connection;
  std::unique_ptr<db::Recordset> work_table;  // closes with the connection
  Variant bs1;
  Variant bs2;
  // How the run counts the days it charges (at_ILC's DayRule), and what its
  // walks noted of each rent line for the calendar rules, by the line's
  // place in the work table's batch. Both set afresh by every run.
  engine::DayRule day_rule = engine::DayRule::kBothDays;
  std::vector<std::pair<size_t, engine::PeriodNote>> period_notes;
  Variant row_counter;
  Variant lost_damage_counter;
  // A statement of the run on the add-on's own connection found the company
  // database unavailable (locked past the wait, read-only, full, damaged,
  // gone): every later one would fail the same way, each write after the busy
  // wait, so the run stops and writes no more lines. Cleared when a run starts.
  bool database_lost = false;
  std::unique_ptr<ui::FrmError> message_form;

  // What a rent run looks up again and again and cannot change while it runs
  // (the rates and the marked lines of the open company): cleared when a run
  // starts.
  struct RunLookups {
    std::map<std::pair<std::string, std::string>, Variant> rent_rates;  // by party, item
    // Each party's rate master (0 for none), asked once.
    std::map<std::string, int32_t> rate_masters;
    // Each master code's price rows by item, read once; nullopt where they
    // could not be.
    std::map<std::string, std::optional<PriceRows>> price_tables;
    // The party's lines marked lost or damaged, and its stock entries, in the
    // open company's file, each read once (for the party named); null until
    // read, or when they cannot be read exactly, and then every day is asked.
    std::optional<std::string> marked_party;
    std::shared_ptr<const engine::PartyMarkedLines> marked_lines;
    std::optional<std::string> stock_party;
    std::shared_ptr<const engine::PartyStock> stock;
  } lookups;

  // What the host installed for this thread.
  HostServices services;
  // Failures of the last ActivateDB, carried into the report of every Start.
  std::vector<SkippedStep> activation_failures;
  // The report of the Start that runs or ran last.
  RunReport report;

  // The host object as the host's application; throws rnt::Error when
  // ActivateDB was given none.
  std::shared_ptr<HostApplication> HostApp() const;
  // The installed window system, or the default one.
  platform::Windowing& windowing();
  // Where the parameters file and Server.Txt are read: the host's choice, or
  // the folder of the loaded library file.
  std::filesystem::path AddonFolder() const;

 private:
  std::shared_ptr<platform::Windowing> default_windowing_;
};

// The company context of the calling thread.
CompanyContext& ThreadCompanyContext();

// Starts the calling thread's context afresh, as if the library had just been
// loaded. For tests, which run many "loads" in one process.
void ResetThreadCompanyContext();

}  // namespace rnt::host
