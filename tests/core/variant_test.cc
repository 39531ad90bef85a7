#include "rnt/variant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "rnt/collection.h"
#include "rnt/error.h"

namespace rnt {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(VariantTest, TextOfEachKind) {
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant(int16_t{-7}).ToText(), "-7");
  EXPECT_EQ(Variant(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(Variant(Date::FromYmd(2021, 4, 5)).ToText(), "05-04-2021");
  EXPECT_THROW(Variant::Null().ToText(), Error);
  EXPECT_THROW(Variant(std::make_shared<Object>()).ToText(), Error);
}

TEST(VariantTest, NumbersAndDatesFromTextSerialsAndEachOther) {
  EXPECT_EQ(Variant("1,234.50").ToDouble(), 1234.5);
  EXPECT_EQ(Variant().ToDouble(), 0);
  EXPECT_EQ(Variant(Date::FromYmd(2021, 4, 5)).ToDouble(), 44291);
  EXPECT_THROW(Variant("").ToDouble(), Error);
  EXPECT_THROW(Variant::Null().ToDouble(), Error);
  EXPECT_THAT([] { Variant("12abc").ToDouble(); },
              ThrowsMessage<Error>(StrEq("not a number: '12abc'")));

  const Date april5 = Date::FromYmd(2021, 4, 5);
  EXPECT_EQ(Variant("05-Apr-2021").ToDate(), april5);
  EXPECT_EQ(Variant(int32_t{44291}).ToDate(), april5);
  EXPECT_EQ(Variant(-1.5).ToDate(), Date::FromSerial(-1));  // whole days toward zero
  EXPECT_THROW(Variant(1e12).ToDate(), Error);
  EXPECT_THAT([] { Variant("31-02-2021").ToDate(); },
              ThrowsMessage<Error>(StrEq("not a date: '31-02-2021'")));
}

TEST(VariantTest, IntegersRoundHalfToEvenAndCheckTheirRange) {
  EXPECT_EQ(Variant(2.5).ToInt32(), 2);
  EXPECT_EQ(Variant(3.5).ToInt32(), 4);
  EXPECT_EQ(Variant(-2.5).ToInt32(), -2);
  EXPECT_EQ(Variant(2.4999).ToInt16(), 2);
  EXPECT_EQ(Variant("1,234.5").ToInt16(), 1234);
  EXPECT_EQ(Variant(32767.4).ToInt16(), 32767);
  EXPECT_EQ(Variant(-2147483648.0).ToInt32(), std::numeric_limits<int32_t>::min());
  EXPECT_THROW(Variant(32767.5).ToInt16(), Error);
  EXPECT_THROW(Variant(int32_t{-32769}).ToInt16(), Error);
  EXPECT_THROW(Variant(2147483647.5).ToInt32(), Error);
  EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).ToInt32(), Error);
}

TEST(NegateTest, KeepsTheKindAndWidensWhenNeeded) {
  EXPECT_EQ(Negate(int16_t{5}), Variant(int16_t{-5}));
  EXPECT_EQ(Negate(int16_t{-32768}), Variant(int32_t{32768}));
  EXPECT_EQ(Negate(int32_t{-5}), Variant(int32_t{5}));
  EXPECT_EQ(Negate(std::numeric_limits<int32_t>::min()), Variant(2147483648.0));
  EXPECT_EQ(Negate(-2.5), Variant(2.5));
  EXPECT_EQ(Negate("-2.5"), Variant(2.5));
  EXPECT_EQ(Negate(Date::FromYmd(2021, 4, 5)), Variant(-44291.0));
  EXPECT_EQ(Negate(Variant()), Variant(int16_t{0}));
  EXPECT_TRUE(Negate(Variant::Null()).IsNull());
  EXPECT_THROW(Negate("12abc"), Error);
}

TEST(CollectionTest, PositionsCountFromOne) {
  Collection data;
  data.Add(int16_t{1});
  data.Set(6, "company");
  EXPECT_EQ(data.Count(), 6);
  EXPECT_EQ(data.Item(1), Variant(int16_t{1}));
  EXPECT_TRUE(data.Item(3).IsEmpty());
  EXPECT_EQ(data.Item(6), Variant("company"));
  EXPECT_FALSE(data.Has(0));
  EXPECT_THROW(data.Item(7), Error);
  EXPECT_THROW(data.Set(0, "x"), Error);
}

}  // namespace
}  // namespace rnt
