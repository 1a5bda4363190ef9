// Cutting ANSI text on whole characters.
#include "ansi_text.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_ports.h"

namespace mirwell {
namespace {

using testing::ShiftJisCodePage;
using testing::SingleByteCodePage;

TEST(WholeCharacterPrefix, StopsBeforeASplitCharacter) {
  ShiftJisCodePage sjis;
  // a, two-byte character, b: a cut after 2 bytes would split the character.
  const std::string text = "a\x82\xA0" "b";
  EXPECT_EQ(4u, WholeCharacterPrefix(text.data(), 4, 10, sjis));
  EXPECT_EQ(3u, WholeCharacterPrefix(text.data(), 4, 3, sjis));
  EXPECT_EQ(1u, WholeCharacterPrefix(text.data(), 4, 2, sjis));
  EXPECT_EQ(0u, WholeCharacterPrefix(text.data(), 4, 0, sjis));
  // A trail byte that looks like a lead byte is not taken for one: the
  // characters are counted from the start.
  const std::string pairs = "\x81\x81\x81\x81";  // two characters 0x8181
  EXPECT_EQ(2u, WholeCharacterPrefix(pairs.data(), 4, 3, sjis));
  SingleByteCodePage ansi;
  EXPECT_EQ(2u, WholeCharacterPrefix(text.data(), 4, 2, ansi));
}

TEST(DropDanglingLeadByte, OnlyALoneLeadByteAtTheEnd) {
  ShiftJisCodePage sjis;
  char cut[] = "ab\x82\xA0\x82";
  EXPECT_EQ(4u, DropDanglingLeadByte(cut, sjis));
  EXPECT_EQ(std::string("ab\x82\xA0"), cut);
  char whole[] = "\x81\x81\x81\x81";
  EXPECT_EQ(4u, DropDanglingLeadByte(whole, sjis));
  char empty[] = "";
  EXPECT_EQ(0u, DropDanglingLeadByte(empty, sjis));
  char western[] = "caf\xE9";  // 0xE9 is a letter in a single-byte code page
  EXPECT_EQ(4u, DropDanglingLeadByte(western, SingleByteCodePage()));
}

TEST(AnsiTextBuilder, KeepsAPrefixAndDropsEverythingAfterACut) {
  ShiftJisCodePage sjis;
  char buffer[7];
  AnsiTextBuilder text(buffer, sizeof buffer, sjis);
  EXPECT_STREQ("", buffer);
  text.Append("abc");
  EXPECT_FALSE(text.cut());
  text.Append("\x82\xA0\x82\xA0");  // one of the two characters fits, one byte stays free
  EXPECT_TRUE(text.cut());
  EXPECT_EQ(std::string("abc\x82\xA0"), buffer);
  text.Append("d");  // would fit in the byte left, but follows a cut
  EXPECT_EQ(std::string("abc\x82\xA0"), buffer);
  EXPECT_EQ(5u, text.length());

  char exact[4];
  AnsiTextBuilder fits(exact, sizeof exact, sjis);
  fits.Append("ab");
  fits.Append("c");
  EXPECT_FALSE(fits.cut());
  EXPECT_STREQ("abc", exact);
}

}  // namespace
}  // namespace mirwell
