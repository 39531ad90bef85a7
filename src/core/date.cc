#include "rnt/date.h"

#include <chrono>
#include <cstdint>
#include <string>

#include "rnt/error.h"

namespace rnt {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// Serial 0 of the platform's dates.
constexpr sys_days kSerialEpoch = sys_days{std::chrono::year{1899} / 12 / 30};

constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

constexpr int64_t SerialOf(year_month_day ymd) { return (sys_days{ymd} - kSerialEpoch).count(); }

constexpr int64_t kFirstSerial = SerialOf(std::chrono::year{kFirstYear} / std::chrono::January / 1);
constexpr int64_t kLastSerial = SerialOf(std::chrono::year{kLastYear} / std::chrono::December / 31);

year_month_day CalendarDay(int32_t serial) { return year_month_day{kSerialEpoch + days{serial}}; }

// Day, month and year as a reader expects them, for error messages.
std::string DayText(int year, int month, int day) {
  auto padded = [](int n) { return (n >= 0 && n < 10 ? "0" : "") + std::to_string(n); };
  return padded(day) + "-" + padded(month) + "-" + std::to_string(year);
}

}  // namespace

Date Date::FromYmd(int year, int month, int day) {
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 || day > 31) {
    throw Error("not a date: " + DayText(year, month, day));
  }
  const year_month_day ymd{std::chrono::year{year},
                           std::chrono::month{static_cast<unsigned>(month)},
                           std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) throw Error("not a date: " + DayText(year, month, day));
  return Date(static_cast<int32_t>(SerialOf(ymd)));
}

Date Date::FromSerial(int32_t serial) {
  if (serial < kFirstSerial || serial > kLastSerial) {
    throw Error("date serial outside the years 100 to 9999: " + std::to_string(serial));
  }
  return Date(serial);
}

int Date::year() const { return static_cast<int>(CalendarDay(serial_).year()); }

int Date::month() const {
  return static_cast<int>(static_cast<unsigned>(CalendarDay(serial_).month()));
}

int Date::day() const {
  return static_cast<int>(static_cast<unsigned>(CalendarDay(serial_).day()));
}

Date Date::AddDays(int32_t days) const {
  const int64_t serial = int64_t{serial_} + days;
  if (serial < kFirstSerial || serial > kLastSerial) {
    throw Error("adding " + std::to_string(days) + " days to " + DayText(year(), month(), day()) +
                " leaves the years 100 to 9999");
  }
  return Date(static_cast<int32_t>(serial));
}

int32_t DaysBetween(Date from, Date to) { return to.serial() - from.serial(); }

}  // namespace rnt
