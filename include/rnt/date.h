#pragma once

#include <compare>
#include <cstdint>

namespace rnt {

// A calendar day, held as the platform's date serial number: whole days since
// 30 December 1899 (serial 0). Only days between the years 100 and 9999 exist.
class Date {
 public:
  // Throws rnt::Error when the day, month or year is out of range.
  static Date FromYmd(int year, int month, int day);
  // Throws rnt::Error when the serial lies outside the years 100 to 9999.
  static Date FromSerial(int32_t serial);

  int32_t serial() const { return serial_; }
  int year() const;
  int month() const;  // 1..12
  int day() const;    // 1..31

  // Throws rnt::Error when the result leaves the range of dates.
  Date AddDays(int32_t days) const;

  friend auto operator<=>(const Date&, const Date&) = default;

 private:
  explicit Date(int32_t serial) : serial_(serial) {}
  int32_t serial_ = 0;
};

// Whole days from `from` to `to` (end minus start); negative when `to` is earlier.
int32_t DaysBetween(Date from, Date to);

}  // namespace rnt
