#pragma once

#include <string>
#include <string_view>
#include <vector>

// The query texts of a rent run, in the host's dialect, built piece by piece
// from the texts of the values that go into them: codes as their text without
// quotes, dates as the text that stands between the "#" signs. Texts that go
// between quotes have their quotes doubled, so that a user or challan named
// with a quote finds its own rows and no value can change a statement.
namespace rnt::engine::queries {

inline constexpr std::string_view kSettings = "Select * from at_ILC";
inline constexpr std::string_view kWorkTable = "select * from atShut";

// Removes the rent lines of one user.
std::string DeleteUserLines(std::string_view user_name);

// The party's latest rent voucher (type 9) dated on or before the search date;
// rows tied on the date come with the voucher marked 'Rental' first.
std::string PreviousRentVoucher(std::string_view party_code, std::string_view search_date_sql);

// The party's rate for an item, its replacement value, and the value and
// second value that damage charges start from.
std::string RentRate(std::string_view party_code, std::string_view item_code);
// Every rent rate and piece value of one master code (a party, or a rate
// master), by item.
std::string PricesOf(std::string_view master_code);
std::string ReplacementRate(std::string_view party_code, std::string_view item_code);
std::string DamageCharge(std::string_view party_code, std::string_view item_code);

// The lines of an item that a party reported lost, or returned damaged, on one day.
std::string LostItems(std::string_view item_code, std::string_view party_code,
                      std::string_view on_date_sql);
std::string DamagedItems(std::string_view item_code, std::string_view party_code,
                         std::string_view on_date_sql);

// Whether a day's returns (a2) include the opening entries of a new year
// (VchType 9, VchCode -1400), which carry forward what the party held when the
// old year closed. A walk that has carried that balance through the old
// year's own movements leaves them out: counting them would bill it twice.
enum class OpeningEntries { kCounted, kLeftOut };

// Which financial year's movements a first calculation lists: the previous
// year's list has no reference codes, the current year's has them.
enum class MovementYear { kPrevious, kCurrent };

// Every movement day (date, item, voucher number) of a party up to the closing date.
std::string MovementList(MovementYear year, std::string_view party_code,
                         std::string_view closing_date_sql);

// The day's issues (a1) and returns (a2) of a party's item on one date.
std::string DayTotalsByDate(std::string_view date_text, std::string_view party_code,
                            std::string_view item_code,
                            OpeningEntries openings = OpeningEntries::kCounted);

// The same, counting only the stock entries of one reference code.
std::string DayTotalsByReference(std::string_view reference_code, std::string_view date_sql,
                                 std::string_view party_code, std::string_view item_code);

// The items of a rent voucher: per item its last line's carried quantity
// (cls), challan number (chno) and challan date (chdate).
std::string VoucherItems(std::string_view voucher_code);

// The movement days of one item of a party after the walk start date, up to
// the closing date; with `openings_left_out_on`, without the opening entries
// of that day (a query date text).
std::string ItemMovements(std::string_view party_code, std::string_view item_code,
                          std::string_view walk_start_sql, std::string_view closing_date_sql,
                          std::string_view openings_left_out_on = {});

// The day's issues and returns of a party's item under one challan number.
std::string ChallanTotals(std::string_view challan_no, std::string_view date_text,
                          std::string_view party_code, std::string_view item_code,
                          OpeningEntries openings = OpeningEntries::kCounted);

// The look-ahead at the next movement day: issues under that day's challan
// number only (compared without leading blanks), returns of the whole day.
std::string LookAheadTotals(std::string_view challan_no_trimmed, std::string_view date_text,
                            std::string_view party_code, std::string_view item_code,
                            OpeningEntries openings = OpeningEntries::kCounted);

// The movement days after the lower bound of items that a rent voucher does
// not list.
std::string UnlistedItemMovements(std::string_view party_code, std::string_view lower_bound_sql,
                                  std::string_view closing_date_sql, std::string_view voucher_code);

// The same, excluding the items given by code instead of those that a voucher
// of the current year's data lists: for a voucher read from the previous
// year. Without items, nothing is excluded; with `openings_left_out_on`, the
// opening entries of that day are not listed.
std::string UnlistedItemMovementsExcluding(std::string_view party_code,
                                           std::string_view lower_bound_sql,
                                           std::string_view closing_date_sql,
                                           const std::vector<std::string>& item_codes,
                                           std::string_view openings_left_out_on = {});

}  // namespace rnt::engine::queries
