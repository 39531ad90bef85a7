#include "rnt/value_text.h"

#include <gtest/gtest.h>

#include "rnt/error.h"

namespace rnt {
namespace {

TEST(ValTest, ReadsTheLeadingNumberOnly) {
  EXPECT_EQ(Val("12abc"), 12);
  EXPECT_EQ(Val("-2.5"), -2.5);
  EXPECT_EQ(Val(""), 0);
  EXPECT_EQ(Val("abc"), 0);
  EXPECT_EQ(Val("1,234.50"), 1);
  EXPECT_EQ(Val(" \t7"), 7);
  EXPECT_EQ(Val("05-04-2021"), 5);
  EXPECT_EQ(Val("1.5e2 pcs"), 150);
  EXPECT_EQ(Val("3e"), 3);  // an exponent without digits is not part of the number
  EXPECT_EQ(Val("-.5"), -0.5);
  EXPECT_THROW(Val("1e400"), Error);
}

TEST(NumberTextTest, ShortestTextOfFifteenDigits) {
  EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberText(90), "90");
  EXPECT_EQ(NumberText(2.5), "2.5");
  EXPECT_EQ(NumberText(-0.25), "-0.25");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(Val(NumberText(1e20)), 1e20);  // large numbers still read back
}

TEST(ParseNumberTextTest, AcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseNumberText("1,234.50"), 1234.5);
  EXPECT_EQ(ParseNumberText("  -12 "), -12);
  EXPECT_EQ(ParseNumberText("+1.5E3"), 1500);
  EXPECT_EQ(ParseNumberText(".5"), 0.5);
  EXPECT_EQ(ParseNumberText("1,000,000"), 1000000);
  for (const char* text :
       {"12abc", "", "  ", "-", ".", "1,2,", ",12", "1,,2", "1.2,3", "1e", "1 2", "1e400"}) {
    EXPECT_EQ(ParseNumberText(text), std::nullopt) << text;
  }
}

TEST(ParseDateTextTest, ReadsTheEnginesDayFirstForms) {
  const Date april5 = Date::FromYmd(2021, 4, 5);
  EXPECT_EQ(ParseDateText("05-04-2021"), april5);
  EXPECT_EQ(ParseDateText("5/4/2021"), april5);
  EXPECT_EQ(ParseDateText("05-Apr-2021"), april5);
  EXPECT_EQ(ParseDateText("05-apr-2021"), april5);
  EXPECT_EQ(ParseDateText("2021-04-05"), april5);
  EXPECT_EQ(ParseDateText(" 05-04-2021 "), april5);
  for (const char* text : {"31-02-2021", "", "2021", "05-04-21", "05-04/2021", "05/Apr/2021",
                           "05-April-2021", "05-04-2021x", "2021-4-31", "44291"}) {
    EXPECT_EQ(ParseDateText(text), std::nullopt) << text;
  }
}

TEST(FormatDateTest, TwoFormsWhateverTheLetterCase) {
  const Date april5 = Date::FromYmd(2021, 4, 5);
  for (const char* pattern : {"DD-MMM-YYYY", "dd-mmm-yyyy", "DD-MMM-yyyy"}) {
    EXPECT_EQ(FormatDate(april5, pattern), "05-Apr-2021");
  }
  for (const char* pattern : {"DD-MM-YYYY", "dd-mm-yyyy"}) {
    EXPECT_EQ(FormatDate(april5, pattern), "05-04-2021");
  }
  EXPECT_EQ(ShortDateText(Date::FromYmd(100, 12, 1)), "01-12-0100");
  EXPECT_THROW(FormatDate(april5, "yyyy-mm-dd"), Error);
}

TEST(FormatValueTest, FormatsDatesAndLeavesOtherTextAlone) {
  const Variant formatted("05-Apr-2021");
  EXPECT_EQ(FormatValue(Date::FromYmd(2021, 4, 5), "DD-MMM-YYYY"), formatted);
  EXPECT_EQ(FormatValue("05-04-2021", "DD-MMM-YYYY"), formatted);
  EXPECT_EQ(FormatValue(int32_t{44291}, "DD-MMM-YYYY"), formatted);
  EXPECT_EQ(FormatValue(44291.75, "DD-MMM-YYYY"), formatted);  // the fraction is a time of day
  EXPECT_EQ(FormatValue("12abc", "DD-MMM-YYYY"), Variant("12abc"));
  EXPECT_EQ(FormatValue(Variant(), "DD-MMM-YYYY"), Variant(""));
  EXPECT_TRUE(FormatValue(Variant::Null(), "DD-MMM-YYYY").IsNull());
  EXPECT_THROW(FormatValue(1e9, "DD-MMM-YYYY"), Error);
}

TEST(TwoDecimalTextTest, GroupsAndRoundsAsTheAmountReads) {
  EXPECT_EQ(TwoDecimalText(1234.5), "1,234.50");
  EXPECT_EQ(TwoDecimalText(0.5), "0.50");
  EXPECT_EQ(TwoDecimalText(-1234.567), "-1,234.57");
  EXPECT_EQ(TwoDecimalText(1234567), "1,234,567.00");
  EXPECT_EQ(TwoDecimalText(999.995), "1,000.00");
  EXPECT_EQ(TwoDecimalText(2.675), "2.68");  // stored just below .675
  EXPECT_EQ(TwoDecimalText(0), "0.00");
  EXPECT_EQ(TwoDecimalText(-0.001), "0.00");
  EXPECT_EQ(TwoDecimalText(0.005), "0.01");
}

}  // namespace
}  // namespace rnt
