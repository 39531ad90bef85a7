#include "engine/value_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "rnt/date.h"
#include "rnt/error.h"

namespace rnt::engine {
namespace {

TEST(SqlDateTextTest, DayFirstTextBecomesAQueryDateAndNullLeavesTheLiteralEmpty) {
  EXPECT_EQ(SqlDateText("04-04-2021"), "04-Apr-2021");
  EXPECT_EQ(SqlDateText(Date::FromYmd(2021, 4, 5)), "05-Apr-2021");
  EXPECT_EQ(SqlDateText(int32_t{44291}), "05-Apr-2021");
  EXPECT_EQ(SqlDateText("not a day"), "not a day");
  EXPECT_EQ(SqlDateText(Variant()), "");
  EXPECT_EQ(SqlDateText(Variant::Null()), "");
  EXPECT_EQ(SqlDateText(1e12), "");  // no such day
}

TEST(AbsoluteValueTest, NegativeNumbersFlipOthersComeBackAsTheyAre) {
  EXPECT_EQ(AbsoluteValue(int16_t{-3}), Variant(int16_t{3}));
  EXPECT_EQ(AbsoluteValue(int32_t{-70000}), Variant(int32_t{70000}));
  EXPECT_EQ(AbsoluteValue("-2.5"), Variant(2.5));
  EXPECT_EQ(AbsoluteValue("12abc"), Variant("12abc"));
  EXPECT_EQ(AbsoluteValue("2.5"), Variant("2.5"));  // text stays text
  EXPECT_TRUE(AbsoluteValue(Variant()).IsEmpty());
  // Failures surface in the caller's statement.
  EXPECT_THROW(AbsoluteValue(Variant::Null()), Error);
  EXPECT_THROW(AbsoluteValue("-12abc"), Error);  // negative lead, but not a number
}

}  // namespace
}  // namespace rnt::engine
