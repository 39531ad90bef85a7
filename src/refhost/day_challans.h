#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/connection.h"
#include "rnt/date.h"

namespace rnt::refhost {

// The challans of one item and one day, in the order the host numbered the
// vouchers: where a rent line names only the first, a statement names them all.
using DayChallans = std::map<std::pair<std::int32_t, Date>, std::vector<std::string>>;

// The party's delivery and return challans (Tran3 stock entries) dated from
// `first` to `last`, by item and day, read in one query. Adds them to
// `challans`, so that the years of one statement gather into one map. Throws
// rnt::Error when Tran3 cannot be read.
void ReadDayChallans(db::Connection& company, std::int32_t party_code, Date first, Date last,
                     DayChallans& challans);

}  // namespace rnt::refhost
