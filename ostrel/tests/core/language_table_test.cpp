// The language a language id selects: its code and its tag.
#include <gtest/gtest.h>

#include <string>

#include "core/language_table.h"

namespace ostrel::test {
namespace {

std::u16string Tag(uint16_t id) { return LanguageForLangId(id).tag; }

TEST(LanguageTableTest, ExactIdsSelectTheirRow) {
  struct Case {
    uint16_t id;
    int code;
    const char16_t* tag;
  };
  const Case cases[] = {
      {0x0409, 0, u"EN"}, {0x0809, 0, u"EN"}, {0x0009, 0, u"EN"}, {0x0000, 0, u"EN"},
      {0x0410, 1, u"IT"}, {0x0810, 1, u"IT"}, {0x0C10, 0, u"EN"},
      {0x0404, 2, u"TC"}, {0x1004, 2, u"TC"}, {0x0804, 3, u"SC"}, {0x0C04, 3, u"SC"},
      {0x1404, 3, u"SC"}, {0x7C04, 0, u"EN"}, {0x0004, 0, u"EN"},
      {0x040C, 4, u"FR"}, {0x0C0C, 4, u"FR"}, {0x180C, 4, u"FR"}, {0x1C0C, 0, u"EN"},
      {0x0407, 5, u"DE"}, {0x0C07, 5, u"DE"}, {0x1407, 5, u"DE"}, {0x1807, 0, u"EN"},
      {0x040A, 6, u"ES"}, {0x080A, 6, u"ES"}, {0x500A, 6, u"ES"}, {0x540A, 0, u"EN"},
      {0x000A, 0, u"EN"},
      {0x0413, 7, u"DU"}, {0x0813, 7, u"DU"}, {0x0416, 8, u"PT"}, {0x0816, 8, u"PT"},
      {0x041D, 9, u"SV"}, {0x081D, 9, u"SV"}, {0x0411, 10, u"JP"}, {0x0811, 0, u"EN"},
      {0x0412, 0, u"EN"}, {0x0419, 0, u"EN"}, {0x0415, 0, u"EN"}, {0xFFFF, 0, u"EN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.code, LanguageForLangId(c.id).code);
    EXPECT_EQ(std::u16string(c.tag), Tag(c.id));
  }
}

TEST(LanguageTableTest, EverySpanishSublanguageUpToTwentyIsSpanish) {
  for (uint16_t sub = 1; sub <= 20; ++sub) {
    EXPECT_EQ(6, LanguageForLangId(static_cast<uint16_t>(0x000A + sub * 0x0400)).code) << sub;
  }
}

}  // namespace
}  // namespace ostrel::test
