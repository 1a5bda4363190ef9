// Language and ANSI forms under the locale the test runs in (LANG of the
// Wine process selects the system language and the ANSI code page).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "expectations.h"
#include "ostrel.h"
#include "registry_keys.h"

namespace ostrel::wine {
namespace {

TEST(LocaleTest, LanguageCodeAndTagFollowTheSystemLanguage) {
  std::printf("GetSystemDefaultLangID 0x%04X, GetUserDefaultLangID 0x%04X, GetACP %u\n",
              GetSystemDefaultLangID(), GetUserDefaultLangID(), GetACP());
  const auto& e = Expected();
  EXPECT_EQ(e.acp, GetACP());
  EXPECT_EQ(e.langCode, ZT_GetUserDefaultLang());

  wchar_t wide[4] = {L'#', L'#', L'#', L'#'};
  EXPECT_EQ(wide, ZT_GetUserDefaultLangStringW(wide));
  EXPECT_EQ(std::wstring(e.langTag.begin(), e.langTag.end()), std::wstring(wide));
  EXPECT_EQ(L'#', wide[3]);

  char ansi[5] = {'#', '#', '#', '#', '#'};
  EXPECT_EQ(3, ZT_GetUserDefaultLangStringA(ansi));
  EXPECT_EQ(e.langTag, std::string(ansi));
  EXPECT_EQ('#', ansi[3]);

  EXPECT_EQ(nullptr, ZT_GetUserDefaultLangStringW(nullptr));
  EXPECT_EQ(0, ZT_GetUserDefaultLangStringA(nullptr));
}

// A text of the locale's code page, in both forms.
struct LocalText {
  std::wstring wide;
  std::string ansi;
};

LocalText TextForCodePage(unsigned acp) {
  switch (acp) {
    case 932:
      return {L"\x65E5\x672C\x8A9E", "\x93\xFA\x96\x7B\x8C\xEA"};
    case 950:
      return {L"\x4E2D\x6587", "\xA4\xA4\xA4\xE5"};
    default:
      return {L"Gr\x00FC\x00DF" L"e", "Gr\xFC\xDF" "e"};
  }
}

class LocaleSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    CreateKey(kSettingsKey);
  }
  void TearDown() override { DeleteSettingsKey(); }
};

TEST_F(LocaleSettingsTest, AnsiFormsConvertWithTheSystemCodePage) {
  LocalText text = TextForCodePage(GetACP());
  ASSERT_EQ(ZT_OK, ZT_WriteINIFileA(7, text.ansi.c_str()));
  EXPECT_EQ(text.wide, GetText(kSettingsKey, L"sEncryptionFolderBanner"));

  ASSERT_EQ(ZT_OK, ZT_WriteINIFileW(8, text.wide.c_str()));
  char ansi[64] = {};
  int size = sizeof ansi;
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(8, ansi, &size));
  EXPECT_EQ(text.ansi, std::string(ansi));
  EXPECT_EQ(static_cast<int>(text.ansi.size() + 1), size);

  // Too small a buffer: the size given back is that of the text in the code
  // page (two bytes a character in a double-byte one), and the retry with
  // exactly that size succeeds without writing past it.
  size = 1;
  EXPECT_EQ(ZT_ERR_MEMORY, ZT_ReadINIFileA(8, ansi, &size));
  ASSERT_EQ(static_cast<int>(text.ansi.size() + 1), size);
  std::memset(ansi, '#', sizeof ansi);
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(8, ansi, &size));
  EXPECT_EQ(text.ansi, std::string(ansi));
  EXPECT_EQ(static_cast<int>(text.ansi.size() + 1), size);
  EXPECT_EQ('#', ansi[size]);
}

TEST(LocaleTest, WidePasswordsAreJudgedAsTheCodePageRendersThem) {
  EXPECT_EQ(ZT_OK, ZT_ValidatePasswordW(L"abcd"));
  EXPECT_EQ(ZT_ERR_PASSWORD_TOO_LONG, ZT_ValidatePasswordW(L"\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5\x65E5"));
  // A character of the locale's own code page is a byte of 0x80 or above
  // (the lead byte in a double-byte code page).
  std::wstring local = TextForCodePage(GetACP()).wide;
  EXPECT_EQ(ZT_ERR_PASSWORD_NOT_ASCII, ZT_ValidatePasswordW((L"ab" + local).c_str()));
  // Thai has no mapping in any of these code pages: the default character.
  EXPECT_EQ(ZT_ERR_PASSWORD_BAD_CHAR, ZT_ValidatePasswordW(L"ab\x0E01" L"cd"));
}

}  // namespace
}  // namespace ostrel::wine
