// Values and dates as the host's platform keeps them: day serials, the texts
// of numbers and dates, and the variant values that carry them.
#include <gmock/gmock.h>

#include <limits>
#include <tuple>

#include "rnt/collection.h"
#include "rnt/date.h"
#include "rnt/error.h"
#include "rnt/value_text.h"
#include "rnt/variant.h"

namespace rnt {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

TEST(DateTest, SerialsMatchThePlatformsDayCount) {
  // No 29 February 1900 in the count.
  for (const auto& [y, m, d, serial] :
       {std::tuple{1899, 12, 30, 0}, {1900, 3, 1, 61}, {2021, 4, 5, 44291}, {1899, 12, 29, -1}}) {
    EXPECT_EQ(Date::FromYmd(y, m, d).serial(), serial);
    const Date day = Date::FromSerial(serial);
    EXPECT_EQ(std::tuple(day.year(), day.month(), day.day()), std::tuple(y, m, d)) << serial;
  }
}

TEST(DateTest, OnlyRealDaysOfTheYears100To9999ExistAndArithmeticCrossesMonthsAndYears) {
  for (const auto& [y, m, d] : {std::tuple{2020, 2, 29}, {100, 1, 1}, {9999, 12, 31}}) {
    EXPECT_NO_THROW(Date::FromYmd(y, m, d));
  }
  for (const auto& [y, m, d] :
       {std::tuple{2021, 2, 29}, {2021, 4, 31}, {2021, 13, 1}, {99, 12, 31}, {10000, 1, 1}}) {
    EXPECT_THROW(Date::FromYmd(y, m, d), Error) << d << "-" << m << "-" << y;
  }
  EXPECT_THROW(Date::FromSerial(Date::FromYmd(100, 1, 1).serial() - 1), Error);
  EXPECT_THROW(Date::FromYmd(9999, 12, 31).AddDays(1), Error);
  EXPECT_THAT([] { Date::FromYmd(2021, 2, 31); },
              ThrowsMessage<Error>(StrEq("not a date: 31-02-2021")));
  const Date closing = Date::FromYmd(2021, 3, 31), rent_date = Date::FromYmd(2021, 4, 5);
  EXPECT_EQ(closing.AddDays(1), Date::FromYmd(2021, 4, 1));
  EXPECT_EQ(Date::FromYmd(2020, 12, 31).AddDays(60), Date::FromYmd(2021, 3, 1));
  EXPECT_EQ(DaysBetween(closing, rent_date), 5);
  EXPECT_EQ(DaysBetween(rent_date, closing), -5);
  EXPECT_LT(closing, rent_date);
}

TEST(NumberTextTest, ValReadsTheLeadingNumberOnlyAndParseNumberTextWholeNumbersOnly) {
  // "3e": an exponent without digits is not part of the number.
  const std::pair<const char*, double> cases[] = {
      {"12abc", 12},     {"-2.5", -2.5},     {"", 0},   {"abc", 0},   {"1,234.50", 1}, {" \t7", 7},
      {"05-04-2021", 5}, {"1.5e2 pcs", 150}, {"3e", 3}, {"-.5", -0.5}};
  for (const auto& [text, value] : cases) EXPECT_EQ(Val(text), value) << text;
  EXPECT_THROW(Val("1e400"), Error);
  const std::pair<const char*, double> whole[] = {
      {"1,234.50", 1234.5}, {"  -12 ", -12}, {"+1.5E3", 1500}, {".5", 0.5}, {"1,000,000", 1e6}};
  for (const auto& [text, value] : whole) EXPECT_EQ(ParseNumberText(text), value) << text;
  for (const char* text :
       {"12abc", "", "  ", "-", ".", "1,2,", ",12", "1,,2", "1.2,3", "1e", "1 2", "1e400"}) {
    EXPECT_EQ(ParseNumberText(text), std::nullopt) << text;
  }
}

TEST(NumberTextTest, ShortestTextOfFifteenDigitsAndAmountsGroupedAndRounded) {
  const std::pair<double, const char*> cases[] = {{0.1 + 0.2, "0.3"},
                                                  {90, "90"},
                                                  {-0.25, "-0.25"},
                                                  {-0.0, "0"},
                                                  {1.0 / 3, "0.333333333333333"},
                                                  {-999999999999999, "-999999999999999"},
                                                  {1e15, "1E+15"},
                                                  {123456789012345.6, "123456789012346"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(NumberText(value), text) << text;
  EXPECT_EQ(Val(NumberText(1e20)), 1e20);  // large numbers still read back
  // An amount's text groups and rounds as the amount reads.
  // 2.675 is stored just below .675.
  const std::pair<double, const char*> amounts[] = {
      {1234.5, "1,234.50"},  {-1234.567, "-1,234.57"}, {1234567, "1,234,567.00"},
      {999.995, "1,000.00"}, {2.675, "2.68"},          {0, "0.00"},
      {-0.001, "0.00"},      {0.005, "0.01"}};
  for (const auto& [value, text] : amounts) EXPECT_EQ(TwoDecimalText(value), text) << text;
}

TEST(DateTextTest, ReadsTheEnginesDayFirstFormsAndWritesTwoFormsWhateverTheLetterCase) {
  for (const char* text :
       {"05-04-2021", "5/4/2021", "05-Apr-2021", "05-apr-2021", "2021-04-05", " 05-04-2021 "}) {
    EXPECT_EQ(ParseDateText(text), Date::FromYmd(2021, 4, 5)) << text;
  }
  for (const char* text : {"31-02-2021", "", "2021", "05-04-21", "05-04/2021", "05/Apr/2021",
                           "05-April-2021", "05-04-2021x", "2021-4-31", "44291"}) {
    EXPECT_EQ(ParseDateText(text), std::nullopt) << text;
  }
  const Date april5 = Date::FromYmd(2021, 4, 5);
  for (const char* form : {"dd-mmm-yyyy", "DD-MMM-yyyy"})
    EXPECT_EQ(FormatDate(april5, form), "05-Apr-2021");
  for (const char* form : {"DD-MM-YYYY", "dd-mm-yyyy"})
    EXPECT_EQ(FormatDate(april5, form), "05-04-2021");
  EXPECT_EQ(ShortDateText(Date::FromYmd(100, 12, 1)), "01-12-0100");
  EXPECT_THROW(FormatDate(april5, "yyyy-mm-dd"), Error);
}

TEST(FormatValueTest, FormatsDatesAndLeavesOtherTextAlone) {
  // A serial's fraction is a time of day.
  for (const Variant& day : {Variant(Date::FromYmd(2021, 4, 5)), Variant("05-04-2021"),
                             Variant(int32_t{44291}), Variant(44291.75)}) {
    EXPECT_EQ(FormatValue(day, "DD-MMM-YYYY"), Variant("05-Apr-2021"));
  }
  EXPECT_EQ(FormatValue("12abc", "DD-MMM-YYYY"), Variant("12abc"));
  EXPECT_EQ(FormatValue(Variant(), "DD-MMM-YYYY"), Variant(""));
  EXPECT_TRUE(FormatValue(Variant::Null(), "DD-MMM-YYYY").IsNull());
  EXPECT_THROW(FormatValue(1e9, "DD-MMM-YYYY"), Error);
}

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
  const std::pair<Variant, int32_t> rounded[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-2147483648.0, std::numeric_limits<int32_t>::min()}};
  for (const auto& [value, whole] : rounded) EXPECT_EQ(value.ToInt32(), whole) << value.ToText();
  for (const auto& [value, whole] :
       {std::pair<Variant, int16_t>{2.4999, 2}, {"1,234.5", 1234}, {32767.4, 32767}}) {
    EXPECT_EQ(value.ToInt16(), whole) << value.ToText();
  }
  EXPECT_THROW(Variant(32767.5).ToInt16(), Error);
  EXPECT_THROW(Variant(int32_t{-32769}).ToInt16(), Error);
  EXPECT_THROW(Variant(2147483647.5).ToInt32(), Error);
  EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).ToInt32(), Error);
}

TEST(NegateTest, KeepsTheKindAndWidensWhenNeeded) {
  const std::pair<Variant, Variant> cases[] = {{int16_t{5}, int16_t{-5}},
                                               {int16_t{-32768}, int32_t{32768}},
                                               {int32_t{-5}, int32_t{5}},
                                               {-2.5, 2.5},
                                               {"-2.5", 2.5},
                                               {std::numeric_limits<int32_t>::min(), 2147483648.0},
                                               {Date::FromYmd(2021, 4, 5), -44291.0},
                                               {Variant(), int16_t{0}}};
  for (const auto& [value, negated] : cases) EXPECT_EQ(Negate(value), negated) << value.ToText();
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
