#include <gtest/gtest.h>

#include "core/password_rules.h"
#include "fakes.h"

namespace ostrel::test {
namespace {

TEST(PasswordRulesTest, AlphabetHoldsLettersDigitsAndNineMarks) {
  int members = 0;
  for (int c = 0; c < 256; ++c) members += InPasswordAlphabet(static_cast<unsigned char>(c));
  EXPECT_EQ(71, members);
  for (char c : std::string(",-./;=[\\]")) EXPECT_TRUE(InPasswordAlphabet(c)) << c;
  for (char c : std::string(" '`_:+@!\"#$%&()*<>?^{|}~\t")) EXPECT_FALSE(InPasswordAlphabet(c)) << c;
}

TEST(PasswordRulesTest, AnsiLengthComesBeforeCharacters) {
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordAnsi(""));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordAnsi("a_\xE9"));
  EXPECT_EQ(ZT_OK, ValidatePasswordAnsi("abcd"));
  EXPECT_EQ(ZT_OK, ValidatePasswordAnsi("Az09,-./;=[]"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_LONG, ValidatePasswordAnsi("abcdefghijklm"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_LONG, ValidatePasswordAnsi("_____________"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordAnsi(nullptr));
}

TEST(PasswordRulesTest, AnsiFirstOffendingByteDecides) {
  for (const char* bad : {"ab cd", "ab_cd", "ab:cd", "ab'cd", "ab@cd", "ab+cd", "ab`cd"}) {
    EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordAnsi(bad)) << bad;
  }
  for (const char* good : {"a\\b\\", "[ab]", "a;b=c", "A.B/C"}) {
    EXPECT_EQ(ZT_OK, ValidatePasswordAnsi(good)) << good;
  }
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ValidatePasswordAnsi("ab\x80_cd"));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordAnsi("ab_\x80" "cd"));
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ValidatePasswordAnsi("abc\xFF"));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordAnsi("abc\x7F"));
}

TEST(PasswordRulesTest, WideCountsWideCharactersAndJudgesTheAnsiRendering) {
  FakeCodePage cp;
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordWide(u"abc", cp));
  EXPECT_EQ(ZT_OK, ValidatePasswordWide(u"abcd", cp));
  EXPECT_EQ(ZT_OK, ValidatePasswordWide(u"Az09,-./;=[]", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_LONG, ValidatePasswordWide(u"abcdefghijklm", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordWide(u"ab_cd", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ValidatePasswordWide(u"caf\u00E9", cp));
  // No mapping: the default character '?' is outside the alphabet.
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordWide(u"ab\u0436cd", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordWide(nullptr, cp));

  // Double-byte: judged by the lead byte; length stays in wide characters,
  // so twelve double-byte characters are not "too long".
  cp.doubleByte = true;
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ValidatePasswordWide(u"ab\u65E5\u672C", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ValidatePasswordWide(std::u16string(12, u'\u65E5').c_str(), cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_SHORT, ValidatePasswordWide(u"\u65E5\u672C\u65E5", cp));
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ValidatePasswordWide(u"a_\u65E5\u672C", cp));
}

}  // namespace
}  // namespace ostrel::test
