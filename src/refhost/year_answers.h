#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "engine/marked_lines.h"
#include "engine/party_stock.h"
#include "rnt/host.h"

namespace rnt::refhost {

// Answers the add-on's most frequent queries on one year's data, the totals
// of a movement day (by date, by reference, by challan, and the look-ahead)
// and the pieces lost or damaged on a day, from the party's stock entries and
// marked lines read once, instead of a round trip to the database for every
// movement day. Every answer is the row the query would return; a query it
// does not know, or one whose data it cannot hold exactly, it leaves to the
// database.
class YearAnswers {
 public:
  // The answer to `sql`, or null when the database is to be asked.
  std::shared_ptr<HostRecordset> TryAnswer(std::string_view sql, db::Connection& connection);

 private:
  const engine::PartyStock* StockOf(const std::string& party, db::Connection& connection);
  const engine::PartyMarkedLines* MarkedLinesOf(const std::string& party,
                                                db::Connection& connection);

  // By party code text; nullopt where the party's data cannot be held.
  std::map<std::string, std::optional<engine::PartyStock>> stock_;
  std::map<std::string, std::optional<engine::PartyMarkedLines>> marked_;
};

}  // namespace rnt::refhost
