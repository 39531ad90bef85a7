#pragma once

#include "db/connection.h"

namespace rnt::refhost {

// The host's tables of one financial year's company database, as the host
// keeps them: FinancialYear, Master1, Tran1, Tran2, Tran3, ItemDesc,
// VchOtherInfo and CompanyInfo (the business's name and address, which older
// files lack), with the indexes that the rent runs' queries look rows up by.
// Existing tables and indexes are left as they are.
void CreateHostTables(db::Connection& connection);

// The add-on's settings and rate tables (at_ILC, at_PartyPriceConfig), which
// the host or the user maintain in the current year's database. at_ILC holds
// bs1, bs2, the business's day rule (DayRule) and how its statements group
// the digits of amounts (AmountGrouping), which older files lack; an
// existing at_ILC is left as it is.
void CreateAddonTables(db::Connection& connection);

// The tables that keep what each posted bill printed with its rent voucher,
// so that it can be printed again as it was: RentBills (one row a voucher:
// the party, the business's name and address, the period, the rent voucher
// it continued from, the day rule, the printed grand total, when it was
// posted), RentBillLines (the bill's rent lines: the work table's columns and
// the item's name) and RentBillMarks (the marked pieces that its lost and
// damage lines charge). Existing tables are left as they are.
void CreateKeptBillTables(db::Connection& connection);

// The indexes alone, for a company database that the host made without them.
// They change no row.
void CreateHostIndexes(db::Connection& connection);

// On the server: gives the host tables of a catalogue made before they
// numbered their rows in the order recorded that column, the rows numbered in
// the order the server holds them; every list of a host table is ordered by
// it. Changes no value of the host's; nothing on a company file.
void NumberRecordedRows(db::Connection& connection);

}  // namespace rnt::refhost
