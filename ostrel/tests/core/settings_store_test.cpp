#include <gtest/gtest.h>

#include <string>

#include "core/settings_store.h"
#include "core/settings_table.h"
#include "core/status.h"
#include "fakes.h"

namespace ostrel::test {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetLastSystemError(); }

  // Reads a setting wide with a generous buffer; the text on success.
  int Read(int index, std::u16string* text = nullptr) {
    char16_t buffer[300];
    int size = sizeof buffer;
    int status = ReadSettingWide(f.ports, index, buffer, &size);
    if (status == ZT_OK && text != nullptr) *text = buffer;
    return status;
  }

  FakePorts f;
};

struct DefaultCase {
  int index;
  const char16_t* name;
  const char16_t* stored;  // nullptr: value missing
  int status;              // of the read
  const char16_t* after;   // the text stored after the read (nullptr: none)
};

// Every entry with a missing value and with a value that fails its rule.
const DefaultCase kDefaultCases[] = {
    {0, u"iEncryptionStrength", nullptr, ZT_OK, u"1"},
    {0, u"iEncryptionStrength", u"3", ZT_OK, u"1"},
    {0, u"iEncryptionStrength", u"-1", ZT_OK, u"1"},
    {1, u"bEnableFlag", nullptr, ZT_OK, u"1"},
    {1, u"bEnableFlag", u"2", ZT_OK, u"1"},
    {2, u"sSystemDir", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {3, u"sTempDir", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {4, u"bFirstSetup", nullptr, ZT_OK, u"1"},
    {4, u"bFirstSetup", u"7", ZT_OK, u"1"},
    {5, u"bMsnEnableFlag", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {5, u"bMsnEnableFlag", u"2", ZT_ERR_NOT_FOUND, u"2"},
    {6, u"bScanFilesCompleteFlag", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {6, u"bScanFilesCompleteFlag", u"-1", ZT_ERR_NOT_FOUND, u"-1"},
    {7, u"sEncryptionFolderBanner", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {8, u"sProductVersion", nullptr, ZT_ERR_NOT_FOUND, nullptr},
    {10, u"iProgressPaceCoefficient", nullptr, ZT_OK, u"3"},
    {10, u"iProgressPaceCoefficient", u"0", ZT_OK, u"3"},
    {10, u"iProgressPaceCoefficient", u"101", ZT_OK, u"3"},
    {11, u"bLoginAlertDisplayFlag", nullptr, ZT_OK, u"1"},
    {11, u"bLoginAlertDisplayFlag", u" 5", ZT_OK, u"1"},
};

TEST_F(SettingsStoreTest, MissingOrFailingValuesGetTheirEntrysDefaultRule) {
  for (const auto& c : kDefaultCases) {
    SCOPED_TRACE(std::to_string(c.index) + (c.stored ? " stored" : " missing"));
    f.registry.settings.values.clear();
    if (c.stored) f.registry.Put(c.name, c.stored);
    std::u16string text;
    EXPECT_EQ(c.status, Read(c.index, &text));
    if (c.after == nullptr) {
      EXPECT_FALSE(f.registry.Has(c.name));
    } else {
      EXPECT_EQ(std::u16string(c.after), f.registry.Text(c.name));
      if (c.status == ZT_OK) {
        EXPECT_EQ(std::u16string(c.after), text);
      }
    }
  }
}

TEST_F(SettingsStoreTest, ValuesWithinTheirRuleAreReturnedAsStored) {
  const std::pair<int, const char16_t*> kept[] = {
      {0, u"0"}, {0, u"2"}, {1, u"0"}, {1, u"1"}, {2, u"C:\\Program Files\\Orvanta\\"},
      {2, u""}, {3, u"x"}, {4, u"0"}, {5, u"1"}, {6, u"0"}, {7, u"banner"}, {8, u"2.1"},
      {10, u"1"}, {10, u"100"}, {11, u"0"},
      {1, u""}, {1, u" 1"}, {1, u"1x"}, {10, u"\t+42 pace"}, {10, u"\xFF11\xFF10"},
  };
  for (const auto& [index, stored] : kept) {
    SCOPED_TRACE(std::to_string(index));
    const SettingEntry* entry = FindSetting(index);
    ASSERT_NE(nullptr, entry);
    f.registry.settings.values.clear();
    f.registry.Put(entry->name, stored);
    std::u16string text;
    EXPECT_EQ(ZT_OK, Read(index, &text));
    EXPECT_EQ(std::u16string(stored), text);
    EXPECT_TRUE(f.registry.stores.empty());
  }
}

TEST_F(SettingsStoreTest, WritesAreCheckedAgainstTheRuleBeforeTheRegistryIsTouched) {
  f.registry.Put(u"iEncryptionStrength", u"2");
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 0, u"3"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 10, u"0"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 10, u"101"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 5, u"2"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 12, u""));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 13, u"1"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, 9, u"1"));
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingWide(f.ports, -1, u"1"));
  EXPECT_EQ(0, f.registry.opened);
  EXPECT_EQ(u"2", f.registry.Text(u"iEncryptionStrength"));

  EXPECT_EQ(ZT_OK, WriteSettingWide(f.ports, 2, u""));
  EXPECT_EQ(ZT_OK, WriteSettingWide(f.ports, 10, u"100"));
  EXPECT_EQ(ZT_OK, WriteSettingWide(f.ports, 12, u"8.5"));
  // Stored as REG_SZ data with the terminating null: (length + 1) * 2 bytes.
  EXPECT_EQ(2u, f.registry.settings.values[u"sSystemDir"].size());
  EXPECT_EQ(8u, f.registry.settings.values[u"iProgressPaceCoefficient"].size());
  EXPECT_EQ(f.registry.opened, f.registry.closed);
}

TEST_F(SettingsStoreTest, ReadsOfIndexesWithoutEntryFailAfterTheKeyOpens) {
  EXPECT_EQ(ZT_ERR_BAD_INDEX, Read(13));
  EXPECT_EQ(ZT_ERR_BAD_INDEX, Read(9));
  EXPECT_EQ(ZT_ERR_BAD_INDEX, Read(-1));
  EXPECT_EQ(3, f.registry.opened);
  EXPECT_EQ(3, f.registry.closed);
  f.registry.settings.exists = false;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, Read(13));
}

TEST_F(SettingsStoreTest, AMissingKeyFailsReadsAndWritesAndStoresNoDefault) {
  f.registry.settings.exists = false;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, Read(0));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, WriteSettingWide(f.ports, 0, u"1"));
  EXPECT_EQ(ZT_ERR_NOT_FOUND, WriteSettingAnsi(f.ports, 2, "C:\\"));
  char buffer[16];
  int size = sizeof buffer;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadSettingAnsi(f.ports, 2, buffer, &size));
  EXPECT_EQ(16, size);
  EXPECT_TRUE(f.registry.stores.empty());
  EXPECT_EQ(0u, LastSystemError());
}

TEST_F(SettingsStoreTest, AccessDeniedOnTheKeyAndOnStoringADefault) {
  f.registry.settings.openSetError = winerr::kAccessDenied;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, WriteSettingWide(f.ports, 1, u"0"));
  // A read that needs to store its default fails with the write's status...
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, Read(0));
  f.registry.Put(u"iProgressPaceCoefficient", u"0");
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, Read(10));
  EXPECT_EQ(u"0", f.registry.Text(u"iProgressPaceCoefficient"));
  // ...while a value that passes needs no write access.
  f.registry.Put(u"bEnableFlag", u"0");
  EXPECT_EQ(ZT_OK, Read(1));

  f.registry.settings.openSetError = 0;
  f.registry.settings.setError = winerr::kInvalidAccess;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, WriteSettingWide(f.ports, 1, u"0"));
  f.registry.settings.openQueryError = winerr::kAccessDenied;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, Read(1));
  // Registry errors are returned, never captured.
  EXPECT_EQ(0u, LastSystemError());
  EXPECT_EQ(f.registry.opened, f.registry.closed);
}

TEST_F(SettingsStoreTest, OtherRegistryErrorsGoThroughTheStatusMap) {
  f.registry.Put(u"sSystemDir", u"C:\\");
  f.registry.settings.queryError = 1009;  // ERROR_BADDB
  EXPECT_EQ(ZT_ERR_SYSTEM, Read(2));
  f.registry.settings.queryError = winerr::kNotEnoughMemory;
  EXPECT_EQ(ZT_ERR_MEMORY, Read(2));
  f.registry.settings.queryError = 0;
  f.registry.settings.setError = winerr::kPathNotFound;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, WriteSettingWide(f.ports, 2, u"D:\\"));
}

TEST_F(SettingsStoreTest, ADefaultIsStoredOnceAndTheReadStartsAgain) {
  char16_t buffer[8];
  int size = sizeof buffer;
  EXPECT_EQ(ZT_OK, ReadSettingWide(f.ports, 10, buffer, &size));
  EXPECT_EQ(u"3", std::u16string(buffer));
  EXPECT_EQ(4, size);  // the stored size of "3" and its null
  ASSERT_EQ(1u, f.registry.stores.size());
  EXPECT_EQ(u"iProgressPaceCoefficient", f.registry.stores[0]);
  // Second round only: open for the read, open for the store, open again.
  EXPECT_EQ(3, f.registry.opened);
  EXPECT_EQ(3, f.registry.closed);
}

TEST_F(SettingsStoreTest, TooSmallBuffersReportTheSizeTheRetryNeeds) {
  // The wide read counts UTF-16 bytes; the ANSI read counts the bytes of the
  // code page, where the fake's double-byte mode takes two for U+65E5.
  struct Case {
    bool doubleByte;
    std::u16string text;
    int wideSize;
    std::string ansi;
  };
  std::string nichi = "\x93\x65";
  std::string fortyNichi;
  for (int i = 0; i < 40; ++i) fortyNichi += nichi;
  const Case cases[] = {
      {false, std::u16string(40, u'a'), 82, std::string(40, 'a')},
      {true, std::u16string(40, u'a'), 82, std::string(40, 'a')},
      {true, u"C:\\\u65E5\u65E5", 12, "C:\\" + nichi + nichi},
      {true, std::u16string(40, u'\u65E5'), 82, fortyNichi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    f.codePage.doubleByte = c.doubleByte;
    f.registry.Put(u"sTempDir", c.text);

    char16_t wide[64];
    int size = 2;
    EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingWide(f.ports, 3, wide, &size));
    EXPECT_EQ(c.wideSize, size);
    EXPECT_EQ(ZT_OK, ReadSettingWide(f.ports, 3, wide, &size));
    EXPECT_EQ(c.wideSize, size);
    EXPECT_EQ(c.text, std::u16string(wide));

    char ansi[128];
    size = 2;
    EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingAnsi(f.ports, 3, ansi, &size));
    EXPECT_EQ(static_cast<int>(c.ansi.size() + 1), size);
    EXPECT_EQ(ZT_OK, ReadSettingAnsi(f.ports, 3, ansi, &size));
    EXPECT_EQ(static_cast<int>(c.ansi.size() + 1), size);
    EXPECT_EQ(c.ansi, std::string(ansi));
  }
}

TEST_F(SettingsStoreTest, AStoredTextWithoutNullThatFillsTheBufferIsNotReadPastIt) {
  f.registry.settings.values[u"sTempDir"] = TextData(u"abcd", false);
  char16_t buffer[8];
  for (auto& c : buffer) c = u'#';
  int size = 8;  // exactly the four characters, no room for a null
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingWide(f.ports, 3, buffer, &size));
  EXPECT_EQ(10, size);
  EXPECT_EQ(ZT_OK, ReadSettingWide(f.ports, 3, buffer, &size));
  EXPECT_EQ(u"abcd", std::u16string(buffer));
  EXPECT_EQ(8, size);

  // The ANSI read's size already has room for the null.
  char ansi[8];
  size = 2;
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingAnsi(f.ports, 3, ansi, &size));
  EXPECT_EQ(5, size);
  EXPECT_EQ(ZT_OK, ReadSettingAnsi(f.ports, 3, ansi, &size));
  EXPECT_EQ("abcd", std::string(ansi));

  // A rule is never judged on an unterminated flag either.
  f.registry.settings.values[u"bEnableFlag"] = TextData(u"1", false);
  size = 2;
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingWide(f.ports, 1, buffer, &size));
  EXPECT_EQ(4, size);
}

TEST_F(SettingsStoreTest, NegativeOrZeroCapacitiesAskForTheSize) {
  f.registry.Put(u"sSystemDir", u"C:\\");
  char16_t wide[4] = {u'#', u'#', u'#', u'#'};
  int size = -100;
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingWide(f.ports, 2, wide, &size));
  EXPECT_EQ(8, size);
  EXPECT_EQ(u'#', wide[0]);
  char ansi[4] = {'#'};
  size = 0;
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingAnsi(f.ports, 2, ansi, &size));
  EXPECT_EQ(4, size);
  EXPECT_EQ('#', ansi[0]);
}

TEST_F(SettingsStoreTest, AnsiWriteConvertsStrictlyAndCapturesItsFailure) {
  EXPECT_EQ(ZT_OK, WriteSettingAnsi(f.ports, 7, "Gr\xFC\xDF" "e"));
  EXPECT_EQ(u"Gr\u00FC\u00DFe", f.registry.Text(u"sEncryptionFolderBanner"));
  EXPECT_EQ(ZT_OK, WriteSettingAnsi(f.ports, 7, std::string(255, 'x').c_str()));

  EXPECT_EQ(ZT_ERR_SYSTEM, WriteSettingAnsi(f.ports, 7, std::string(256, 'x').c_str()));
  EXPECT_EQ(winerr::kInsufficientBuffer, LastSystemError());
  EXPECT_EQ(ZT_ERR_SYSTEM, WriteSettingAnsi(f.ports, 7, std::string(300, 'x').c_str()));
  EXPECT_EQ(ZT_ERR_SYSTEM, WriteSettingAnsi(f.ports, 7, "a\x81z"));
  EXPECT_EQ(winerr::kNoUnicodeTranslation, LastSystemError());
  EXPECT_EQ(std::string(255, 'x').size(), f.registry.Text(u"sEncryptionFolderBanner").size());
  // The rules still apply after the conversion.
  EXPECT_EQ(ZT_ERR_BAD_VALUE, WriteSettingAnsi(f.ports, 0, "3"));
}

TEST_F(SettingsStoreTest, AnsiReadConvertsAndCapturesAFailedConversion) {
  f.registry.Put(u"sSystemDir", u"C:\\Gr\u00FC\u00DFe\\");
  char ansi[32];
  int size = sizeof ansi;
  EXPECT_EQ(ZT_OK, ReadSettingAnsi(f.ports, 2, ansi, &size));
  EXPECT_EQ(std::string("C:\\Gr\xFC\xDF" "e\\"), std::string(ansi));
  EXPECT_EQ(10, size);

  // Double-byte text: as many bytes as wide characters is too little.
  f.codePage.doubleByte = true;
  f.registry.Put(u"sSystemDir", u"\u65E5\u672C");
  size = 3;
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadSettingAnsi(f.ports, 2, ansi, &size));
  EXPECT_EQ(0, size);
  EXPECT_EQ(winerr::kInsufficientBuffer, LastSystemError());
  size = 5;
  EXPECT_EQ(ZT_OK, ReadSettingAnsi(f.ports, 2, ansi, &size));
  EXPECT_EQ(5, size);

  f.codePage.failToAnsiWith = winerr::kNotEnoughMemory;
  size = sizeof ansi;
  EXPECT_EQ(ZT_ERR_MEMORY, ReadSettingAnsi(f.ports, 2, ansi, &size));
  EXPECT_EQ(0, size);
}

TEST_F(SettingsStoreTest, NullPointersEndWithAStatus) {
  char16_t wide[4];
  char ansi[4];
  int size = 4;
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadSettingWide(f.ports, 2, nullptr, &size));
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadSettingWide(f.ports, 2, wide, nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadSettingAnsi(f.ports, 2, nullptr, &size));
  EXPECT_EQ(ZT_ERR_SYSTEM, ReadSettingAnsi(f.ports, 2, ansi, nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, WriteSettingWide(f.ports, 2, nullptr));
  EXPECT_EQ(ZT_ERR_SYSTEM, WriteSettingAnsi(f.ports, 2, nullptr));
  EXPECT_EQ(4, size);
  EXPECT_EQ(0, f.registry.opened);
}

}  // namespace
}  // namespace ostrel::test
