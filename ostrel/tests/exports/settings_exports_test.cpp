// The four settings exports against the real registry (the 64-bit view of
// this 64-bit test program).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ostrel.h"
#include "registry_keys.h"

namespace ostrel::wine {
namespace {

class SettingsExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteSettingsKey();
    CreateKey(kSettingsKey);
  }
  void TearDown() override { DeleteSettingsKey(); }

  static int ReadW(int index, std::wstring* text, int capacityBytes = 512) {
    wchar_t buffer[256];
    int size = capacityBytes;
    int status = ZT_ReadINIFileW(index, buffer, &size);
    if (status == ZT_OK) *text = buffer;
    return status;
  }
  static std::wstring Stored(const wchar_t* name) { return GetText(kSettingsKey, name); }
};

TEST_F(SettingsExportsTest, AFreshKeyGetsItsDefaultsStoredByTheRead) {
  std::wstring text;
  EXPECT_EQ(ZT_OK, ReadW(0, &text));
  EXPECT_EQ(L"1", text);
  EXPECT_EQ(L"1", Stored(L"iEncryptionStrength"));
  EXPECT_EQ(ZT_OK, ReadW(10, &text));
  EXPECT_EQ(L"3", text);
  EXPECT_EQ(L"3", Stored(L"iProgressPaceCoefficient"));

  char ansi[16] = {};
  int size = sizeof ansi;
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(11, ansi, &size));
  EXPECT_STREQ("1", ansi);
  EXPECT_EQ(2, size);

  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadW(2, &text));
  EXPECT_EQ(L"<missing>", Stored(L"sSystemDir"));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadW(5, &text));
  EXPECT_EQ(L"<missing>", Stored(L"bMsnEnableFlag"));
}

TEST_F(SettingsExportsTest, StoredValuesAreJudgedByTheirRuleOnRead) {
  struct Case {
    int index;
    const wchar_t* name;
    const wchar_t* stored;
    int status;
    const wchar_t* after;
  };
  const Case cases[] = {
      {10, L"iProgressPaceCoefficient", L"0", ZT_OK, L"3"},
      {10, L"iProgressPaceCoefficient", L"101", ZT_OK, L"3"},
      {10, L"iProgressPaceCoefficient", L"100", ZT_OK, L"100"},
      {10, L"iProgressPaceCoefficient", L"1", ZT_OK, L"1"},
      {1, L"bEnableFlag", L"2", ZT_OK, L"1"},
      {1, L"bEnableFlag", L"", ZT_OK, L""},
      {1, L"bEnableFlag", L" 1", ZT_OK, L" 1"},
      {1, L"bEnableFlag", L"1x", ZT_OK, L"1x"},
      {1, L"bEnableFlag", L"\xFF11", ZT_OK, L"\xFF11"},
      {5, L"bMsnEnableFlag", L"2", ZT_ERR_NOT_FOUND, L"2"},
      {0, L"iEncryptionStrength", L"-1", ZT_OK, L"1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.index));
    ASSERT_EQ(ERROR_SUCCESS, PutText(kSettingsKey, c.name, c.stored));
    std::wstring text;
    EXPECT_EQ(c.status, ReadW(c.index, &text));
    if (c.status == ZT_OK) {
      EXPECT_EQ(std::wstring(c.after), text);
    }
    EXPECT_EQ(std::wstring(c.after), Stored(c.name));
  }
}

TEST_F(SettingsExportsTest, WritesFollowTheRulesAndRoundTrip) {
  ASSERT_EQ(ERROR_SUCCESS, PutText(kSettingsKey, L"iEncryptionStrength", L"2"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, ZT_WriteINIFileW(0, L"3"));
  EXPECT_EQ(L"2", Stored(L"iEncryptionStrength"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, ZT_WriteINIFileW(13, L"1"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, ZT_WriteINIFileA(-1, "1"));
  std::wstring text;
  EXPECT_EQ(ZT_ERR_BAD_INDEX, ReadW(13, &text));
  EXPECT_EQ(ZT_ERR_BAD_INDEX, ReadW(9, &text));

  EXPECT_EQ(ZT_OK, ZT_WriteINIFileW(2, L""));
  EXPECT_EQ(L"", Stored(L"sSystemDir"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, ZT_WriteINIFileW(12, L""));
  EXPECT_EQ(L"<missing>", Stored(L"sMSNVersion"));

  // The installation folder as the error message library reads it.
  EXPECT_EQ(ZT_OK, ZT_WriteINIFileA(2, "C:\\Program Files\\Tavrel\\Orvanta"));
  char folder[1024] = {};
  int size = sizeof folder;
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(2, folder, &size));
  EXPECT_STREQ("C:\\Program Files\\Tavrel\\Orvanta", folder);
  EXPECT_EQ(32, size);
  EXPECT_EQ(ZT_OK, ReadW(2, &text));
  EXPECT_EQ(L"C:\\Program Files\\Tavrel\\Orvanta", text);

  for (int index : {0, 1, 4, 5, 6, 11}) {
    EXPECT_EQ(ZT_OK, ZT_WriteINIFileW(index, L"0")) << index;
    EXPECT_EQ(ZT_OK, ReadW(index, &text));
    EXPECT_EQ(L"0", text);
  }
}

TEST_F(SettingsExportsTest, TooSmallBuffersGetTheNeededSize) {
  std::wstring forty(40, L'a');
  ASSERT_EQ(ZT_OK, ZT_WriteINIFileW(3, forty.c_str()));

  wchar_t wide[64];
  int size = 20;
  EXPECT_EQ(ZT_ERR_MEMORY, ZT_ReadINIFileW(3, wide, &size));
  EXPECT_EQ(82, size);
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileW(3, wide, &size));
  EXPECT_EQ(82, size);
  EXPECT_EQ(forty, std::wstring(wide));

  char ansi[64];
  size = 20;
  EXPECT_EQ(ZT_ERR_MEMORY, ZT_ReadINIFileA(3, ansi, &size));
  EXPECT_EQ(41, size);
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileA(3, ansi, &size));
  EXPECT_EQ(41, size);
  EXPECT_EQ(std::string(40, 'a'), std::string(ansi));
}

TEST_F(SettingsExportsTest, ATextStoredWithoutItsNullIsNeverReadPastTheBuffer) {
  ASSERT_EQ(ERROR_SUCCESS, PutText(kSettingsKey, L"sTempDir", L"abcd", false));
  wchar_t buffer[8];
  for (auto& c : buffer) c = L'#';
  int size = 8;
  EXPECT_EQ(ZT_ERR_MEMORY, ZT_ReadINIFileW(3, buffer, &size));
  EXPECT_EQ(10, size);
  EXPECT_EQ(ZT_OK, ZT_ReadINIFileW(3, buffer, &size));
  EXPECT_EQ(L"abcd", std::wstring(buffer));
}

TEST_F(SettingsExportsTest, AnsiWriteOfTooLongATextCapturesTheConversionError) {
  std::string longText(300, 'x');
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_WriteINIFileA(7, longText.c_str()));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, ZT_GetLastErrorCode());
  EXPECT_EQ(L"<missing>", Stored(L"sEncryptionFolderBanner"));
  EXPECT_EQ(ZT_OK, ZT_WriteINIFileA(7, std::string(255, 'x').c_str()));
}

TEST_F(SettingsExportsTest, AMissingKeyIsNeverCreated) {
  DeleteSettingsKey();
  std::wstring text;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadW(0, &text));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadW(13, &text));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ZT_WriteINIFileW(0, L"1"));
  char ansi[16];
  int size = sizeof ansi;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ZT_ReadINIFileA(2, ansi, &size));
  EXPECT_EQ(16, size);
  EXPECT_FALSE(KeyExists(kSettingsKey));
}

TEST_F(SettingsExportsTest, NullPointersEndWithAStatus) {
  int size = 16;
  wchar_t wide[8];
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_ReadINIFileW(2, nullptr, &size));
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_ReadINIFileW(2, wide, nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_ReadINIFileA(2, nullptr, &size));
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_ReadINIFileA(2, reinterpret_cast<char*>(wide), nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_WriteINIFileW(2, nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, ZT_WriteINIFileA(2, nullptr));
  EXPECT_EQ(16, size);
}

}  // namespace
}  // namespace ostrel::wine
