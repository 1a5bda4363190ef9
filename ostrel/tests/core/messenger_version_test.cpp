#include <gtest/gtest.h>

#include <string>

#include "core/language_table.h"
#include "core/messenger_version.h"
#include "core/status.h"
#include "fakes.h"

namespace ostrel::test {
namespace {

TEST(ChooseTranslationTest, TakesTheFirstEntryOfTheFirstTestThatAnyEntryPasses) {
  const uint16_t user = 0x0407;  // German (Germany)
  struct Case {
    std::vector<Translation> entries;
    std::size_t chosen;
  };
  const Case cases[] = {
      // 1. the user's id, wherever it stands
      {{{0x0409, 1200}, {0x0000, 1200}, {0x0407, 1252}, {0x0407, 1200}}, 2},
      // 2. the same primary language (low 8 bits), before the neutral ids
      {{{0x0409, 1200}, {0x0000, 1200}, {0x0807, 1200}}, 2},
      // 3. the neutral id 0, before a sublanguage-only neutral
      {{{0x0409, 1200}, {0x0400, 1200}, {0x0000, 1252}}, 2},
      // 4. low 8 bits 0
      {{{0x0409, 1200}, {0x0009, 1200}, {0x0400, 1252}}, 2},
      // 5. id 9 (neutral English) before English of a region
      {{{0x0411, 1200}, {0x0409, 1200}, {0x0009, 1252}}, 2},
      // 6. low 8 bits 9
      {{{0x0411, 1200}, {0x0809, 1200}, {0x0409, 1200}}, 1},
      // 7. otherwise the first entry
      {{{0x0411, 932}, {0x0412, 949}}, 0},
  };
  int step = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE("step " + std::to_string(++step));
    EXPECT_EQ(c.chosen, ChooseTranslation(c.entries.data(), c.entries.size(), user));
  }
}

class MessengerRefreshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLastSystemError();
    f.registry.messenger.exists = true;
    f.registry.messenger.values[u"InstallationDirectory"] =
        TextData(u"C:\\Program Files\\Messenger\\");
    f.versions.translation = {0x0409, 1200, 0x0407, 1200};
    f.versions.texts[u"\\StringFileInfo\\040904B0\\ProductVersion"] = u"8.5.1302";
    f.versions.texts[u"\\StringFileInfo\\040704B0\\ProductVersion"] = u"8.5.1302-de";
  }

  int ReadVersion(std::u16string* text) {
    char16_t buffer[80] = {};
    int size = sizeof buffer;
    int status = ReadSettingWide(f.ports, 12, buffer, &size);
    *text = buffer;
    return status;
  }

  FakePorts f;
};

// Wine takes the system's and the user's language id from one locale; here
// they differ. The interface language follows the system's id, while every
// read of the version stores the text of the user's translation.
TEST_F(MessengerRefreshTest, TheLanguageTakesTheSystemIdAndTheVersionTheUsers) {
  struct Case {
    uint16_t system;
    uint16_t user;
    int languageCode;
    std::u16string version;
  };
  const Case cases[] = {
      {0x0407, 0x0409, 5, u"8.5.1302"},
      {0x0409, 0x0407, 0, u"8.5.1302-de"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    f.languageIds.system = c.system;
    f.languageIds.user = c.user;
    EXPECT_EQ(c.languageCode, CurrentLanguage(f.languageIds).code);
    std::u16string text;
    EXPECT_EQ(ZT_OK, ReadVersion(&text));
    EXPECT_EQ(c.version, text);
    EXPECT_EQ(c.version, f.registry.Text(u"sMSNVersion"));
  }
  EXPECT_EQ(u"C:\\Program Files\\Messenger\\msnmsgr.exe", f.versions.lastPath);
  EXPECT_EQ(2, f.versions.blocksRead);
}

TEST_F(MessengerRefreshTest, WithoutTheMessengerTheStoredVersionIsNotRead) {
  f.registry.messenger.exists = false;
  f.registry.Put(u"sMSNVersion", u"7.0");
  std::u16string text;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, ReadVersion(&text));
  EXPECT_EQ(u"", text);
  EXPECT_EQ(u"7.0", f.registry.Text(u"sMSNVersion"));
}

TEST_F(MessengerRefreshTest, TheFolderQueryHoldsAtMost129Characters) {
  std::u16string folder = u"C:\\" + std::u16string(125, u'm') + u"\\";  // 129
  f.registry.messenger.values[u"InstallationDirectory"] = TextData(folder);
  EXPECT_EQ(ZT_OK, RefreshMessengerVersion(f.ports));
  EXPECT_EQ(folder + u"msnmsgr.exe", f.versions.lastPath);

  f.registry.messenger.values[u"InstallationDirectory"] = TextData(u"m" + folder);  // 130
  EXPECT_EQ(ZT_ERR_SYSTEM, RefreshMessengerVersion(f.ports));
  f.registry.messenger.values.clear();
  EXPECT_EQ(ZT_ERR_NOT_FOUND, RefreshMessengerVersion(f.ports));
  EXPECT_EQ(0u, LastSystemError());
}

TEST_F(MessengerRefreshTest, VersionCallFailuresAreCapturedAndReturned) {
  f.versions.sizeError = winerr::kFileNotFound;
  EXPECT_EQ(ZT_ERR_NOT_FOUND, RefreshMessengerVersion(f.ports));
  EXPECT_EQ(winerr::kFileNotFound, LastSystemError());

  // An unreadable version block is a returned status, not an exception.
  f.versions.sizeError = 0;
  f.versions.readError = winerr::kAccessDenied;
  std::u16string text;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, ReadVersion(&text));
  EXPECT_EQ(winerr::kAccessDenied, LastSystemError());
  EXPECT_FALSE(f.registry.Has(u"sMSNVersion"));
}

TEST_F(MessengerRefreshTest, EmptyMissingAndLongVersionTexts) {
  f.versions.texts[u"\\StringFileInfo\\040904B0\\ProductVersion"] = u"";
  EXPECT_EQ(ZT_ERR_BAD_VALUE, RefreshMessengerVersion(f.ports));
  EXPECT_FALSE(f.registry.Has(u"sMSNVersion"));

  f.versions.texts.clear();
  EXPECT_EQ(ZT_ERR_NOT_FOUND, RefreshMessengerVersion(f.ports));

  // No translation array: the English Unicode block is asked.
  f.versions.hasTranslation = false;
  f.versions.texts[u"\\StringFileInfo\\040904B0\\ProductVersion"] = std::u16string(70, u'9');
  EXPECT_EQ(ZT_OK, RefreshMessengerVersion(f.ports));
  EXPECT_EQ(std::u16string(63, u'9'), f.registry.Text(u"sMSNVersion"));
}

TEST_F(MessengerRefreshTest, StoringTheVersionNeedsWriteAccess) {
  f.registry.Put(u"sMSNVersion", u"7.0");
  f.registry.settings.openSetError = winerr::kAccessDenied;
  std::u16string text;
  EXPECT_EQ(ZT_ERR_ACCESS_DENIED, ReadVersion(&text));
  EXPECT_EQ(u"7.0", f.registry.Text(u"sMSNVersion"));
}

}  // namespace
}  // namespace ostrel::test
