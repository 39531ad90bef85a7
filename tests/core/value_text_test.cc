#include "rnt/value_text.h"

#include <gtest/gtest.h>

#include <utility>

#include "rnt/error.h"

namespace rnt {
namespace {

TEST(ValTest, ReadsTheLeadingNumberOnly) {
  // "3e": an exponent without digits is not part of the number.
  const std::pair<const char*, double> cases[] = {
      {"12abc", 12},     {"-2.5", -2.5},     {"", 0},   {"abc", 0},   {"1,234.50", 1}, {" \t7", 7},
      {"05-04-2021", 5}, {"1.5e2 pcs", 150}, {"3e", 3}, {"-.5", -0.5}};
  for (const auto& [text, value] : cases) EXPECT_EQ(Val(text), value) << text;
  EXPECT_THROW(Val("1e400"), Error);
}

TEST(NumberTextTest, ShortestTextOfFifteenDigits) {
  const std::pair<double, const char*> cases[] = {
      {0.1 + 0.2, "0.3"},
      {90, "90"},
      {-0.25, "-0.25"},
      {-0.0, "0"},
      {1.0 / 3, "0.333333333333333"},
      {-999999999999999, "-999999999999999"},
      {1e15, "1E+15"},
      {123456789012345.6, "123456789012346"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(NumberText(value), text) << text;
  EXPECT_EQ(Val(NumberText(1e20)), 1e20);  // large numbers still read back
}

TEST(ParseNumberTextTest, AcceptsWholeNumbersOnly) {
  const std::pair<const char*, double> cases[] = {
      {"1,234.50", 1234.5}, {"  -12 ", -12}, {"+1.5E3", 1500}, {".5", 0.5}, {"1,000,000", 1e6}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseNumberText(text), value) << text;
  for (const char* text :
       {"12abc", "", "  ", "-", ".", "1,2,", ",12", "1,,2", "1.2,3", "1e", "1 2", "1e400"}) {
    EXPECT_EQ(ParseNumberText(text), std::nullopt) << text;
  }
}

TEST(ParseDateTextTest, ReadsTheEnginesDayFirstForms) {
  for (const char* text :
       {"05-04-2021", "5/4/2021", "05-Apr-2021", "05-apr-2021", "2021-04-05", " 05-04-2021 "}) {
    EXPECT_EQ(ParseDateText(text), Date::FromYmd(2021, 4, 5)) << text;
  }
  for (const char* text : {"31-02-2021", "", "2021", "05-04-21", "05-04/2021", "05/Apr/2021",
                           "05-April-2021", "05-04-2021x", "2021-4-31", "44291"}) {
    EXPECT_EQ(ParseDateText(text), std::nullopt) << text;
  }
}

TEST(FormatDateTest, TwoFormsWhateverTheLetterCase) {
  const Date april5 = Date::FromYmd(2021, 4, 5);
  EXPECT_EQ(FormatDate(april5, "dd-mmm-yyyy"), "05-Apr-2021");
  EXPECT_EQ(FormatDate(april5, "DD-MMM-yyyy"), "05-Apr-2021");
  EXPECT_EQ(FormatDate(april5, "DD-MM-YYYY"), "05-04-2021");
  EXPECT_EQ(FormatDate(april5, "dd-mm-yyyy"), "05-04-2021");
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

TEST(TwoDecimalTextTest, GroupsAndRoundsAsTheAmountReads) {
  // 2.675 is stored just below .675.
  const std::pair<double, const char*> cases[] = {
      {1234.5, "1,234.50"},  {-1234.567, "-1,234.57"}, {1234567, "1,234,567.00"},
      {999.995, "1,000.00"}, {2.675, "2.68"},          {0, "0.00"},
      {-0.001, "0.00"},      {0.005, "0.01"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(TwoDecimalText(value), text) << text;
}

}  // namespace
}  // namespace rnt
