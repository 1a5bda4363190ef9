// The settings table's reading of a stored text as a number.
#include <gtest/gtest.h>

#include <climits>

#include "core/settings_table.h"

namespace ostrel::test {
namespace {

TEST(LeadingNumberTest, ReadsLikeTheWindowsWideTextToLong) {
  EXPECT_EQ(0, LeadingNumber(u""));
  EXPECT_EQ(0, LeadingNumber(u"x1"));
  EXPECT_EQ(1, LeadingNumber(u" 1"));
  EXPECT_EQ(1, LeadingNumber(u"\u3000\t1"));
  EXPECT_EQ(1, LeadingNumber(u"1x"));
  EXPECT_EQ(1, LeadingNumber(u"+1"));
  EXPECT_EQ(-5, LeadingNumber(u"-5"));
  EXPECT_EQ(0, LeadingNumber(u"+-1"));
  EXPECT_EQ(0, LeadingNumber(u"- 1"));
  EXPECT_EQ(12, LeadingNumber(u"\xFF11\xFF12"));  // full-width digits
  EXPECT_EQ(34, LeadingNumber(u"\x0663\x0664"));  // Arabic-Indic digits
  EXPECT_EQ(7, LeadingNumber(u"\x096D"));         // Devanagari seven
  EXPECT_EQ(LONG_MAX, LeadingNumber(u"99999999999999999999999"));
  EXPECT_EQ(LONG_MIN, LeadingNumber(u"-99999999999999999999999"));
}

}  // namespace
}  // namespace ostrel::test
