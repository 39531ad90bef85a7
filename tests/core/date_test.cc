#include "rnt/date.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "rnt/error.h"

namespace rnt {
namespace {

TEST(DateTest, SerialsMatchThePlatformsDayCount) {
  EXPECT_EQ(Date::FromYmd(1899, 12, 30).serial(), 0);
  EXPECT_EQ(Date::FromYmd(1900, 3, 1).serial(), 61);  // no 29 Feb 1900 in the count
  EXPECT_EQ(Date::FromYmd(2021, 4, 5).serial(), 44291);
  const Date before_epoch = Date::FromSerial(-1);
  EXPECT_EQ(before_epoch.year(), 1899);
  EXPECT_EQ(before_epoch.month(), 12);
  EXPECT_EQ(before_epoch.day(), 29);
}

TEST(DateTest, OnlyRealDaysOfTheYears100To9999Exist) {
  EXPECT_NO_THROW(Date::FromYmd(2020, 2, 29));
  EXPECT_NO_THROW(Date::FromYmd(100, 1, 1));
  EXPECT_NO_THROW(Date::FromYmd(9999, 12, 31));
  for (const auto& [y, m, d] :
       {std::tuple{2021, 2, 29}, {2021, 4, 31}, {2021, 13, 1}, {99, 12, 31}, {10000, 1, 1}}) {
    EXPECT_THROW(Date::FromYmd(y, m, d), Error) << d << "-" << m << "-" << y;
  }
  const int32_t first = Date::FromYmd(100, 1, 1).serial();
  EXPECT_THROW(Date::FromSerial(first - 1), Error);
  EXPECT_THROW(Date::FromYmd(9999, 12, 31).AddDays(1), Error);
  EXPECT_THAT([] { Date::FromYmd(2021, 2, 31); },
              ::testing::ThrowsMessage<Error>(::testing::StrEq("not a date: 31-02-2021")));
}

TEST(DateTest, DayArithmeticCrossesMonthsAndYears) {
  const Date rent_date = Date::FromYmd(2021, 4, 5);
  const Date closing = Date::FromYmd(2021, 3, 31);
  EXPECT_EQ(closing.AddDays(1), Date::FromYmd(2021, 4, 1));
  EXPECT_EQ(Date::FromYmd(2020, 12, 31).AddDays(60), Date::FromYmd(2021, 3, 1));
  EXPECT_EQ(DaysBetween(closing, rent_date), 5);
  EXPECT_EQ(DaysBetween(rent_date, closing), -5);
  EXPECT_LT(closing, rent_date);
}

}  // namespace
}  // namespace rnt
