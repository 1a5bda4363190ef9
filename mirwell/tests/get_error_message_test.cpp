// GetErrorMessage through the real export: sSystemDir in the registry, the
// language from the system, locale files on disk, Windows' profile reader.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "install_fixture.h"
#include "mirwell.h"

namespace {

using mirwell::testing::FullLocaleFile;
using mirwell::testing::SystemLanguageTag;
using mirwell::testing::TestInstallation;

struct Result {
  bool ok;
  std::string title;
  std::string message;
};

Result Lookup(int category, unsigned int detail) {
  char title[MIRWELL_TITLE_SIZE];
  char message[MIRWELL_MESSAGE_SIZE];
  bool ok = GetErrorMessage(category, detail, title, message);
  return {ok, ok ? title : "", ok ? message : ""};
}

// False, and neither buffer touched.
void ExpectFailureLeavesBuffersAlone(int category, unsigned int detail) {
  char title[MIRWELL_TITLE_SIZE];
  char message[MIRWELL_MESSAGE_SIZE];
  std::memset(title, 0x5A, sizeof title);
  std::memset(message, 0x5A, sizeof message);
  EXPECT_FALSE(GetErrorMessage(category, detail, title, message)) << category << "/" << detail;
  for (char c : title) ASSERT_EQ(0x5A, c);
  for (char c : message) ASSERT_EQ(0x5A, c);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class GetErrorMessageTest : public ::testing::Test {
 protected:
  TestInstallation install{"mirwell-lookup"};
  std::string tag = SystemLanguageTag();
};

TEST_F(GetErrorMessageTest, FailuresLeaveBothBuffersUntouched) {
  // No locale file for the language.
  ExpectFailureLeavesBuffersAlone(3, 5);

  // "err_code" missing, then empty.
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_code=\"Code: \"\r\n", ""));
  ExpectFailureLeavesBuffersAlone(2, 0);
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_code=\"Code: \"", "err_code="));
  ExpectFailureLeavesBuffersAlone(3, 5);

  // The range key chosen for the detail code missing, then empty.
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_0008=Text err_0008\r\n", ""));
  ExpectFailureLeavesBuffersAlone(3, 1314);
  ExpectFailureLeavesBuffersAlone(2, 1314);
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_0008=Text err_0008", "err_0008="));
  ExpectFailureLeavesBuffersAlone(7, 1314);
  EXPECT_TRUE(Lookup(7, 1315).ok);  // another key still works

  // The installation folder setting missing.
  install.WriteLocale(tag, FullLocaleFile());
  EXPECT_TRUE(Lookup(3, 5).ok);
  TestInstallation::RemoveInstallFolderSetting();
  ExpectFailureLeavesBuffersAlone(3, 5);
}

TEST_F(GetErrorMessageTest, NullBuffersAreRefused) {
  install.WriteLocale(tag, FullLocaleFile());
  char title[MIRWELL_TITLE_SIZE] = "untouched";
  char message[MIRWELL_MESSAGE_SIZE] = "untouched";
  EXPECT_FALSE(GetErrorMessage(3, 5, title, nullptr));
  EXPECT_FALSE(GetErrorMessage(3, 5, nullptr, message));
  EXPECT_STREQ("untouched", title);
  EXPECT_STREQ("untouched", message);
}

TEST_F(GetErrorMessageTest, CompositionTable) {
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_hint=Hint\r\n",
                                   "err_hint=Hint\r\nerr_0002=All done\r\nerr_0012=Twelve\r\n"));
  const struct {
    int category;
    unsigned int detail;
    const char* title;
    const char* message;
  } rows[] = {
      {2, 0, "Info title", "All done"},
      {2, 1007, "Info title", "Text err_0007"},
      {3, 0, "Error title", "Text err_0003"},
      {3, 3001, "Error title", "Code: 3-3001\nText err_0000\nHint"},
      {12, 0, "Info title", "Twelve"},
      {13, 0, "Error title", "Code: 13-0\nText err_0004\nHint"},
      {-5, 0, "Error title", "Code: -5-0\nText err_0004\nHint"},
      {1, 4294967295u, "Error title", "Code: 1--1\nText err_0001\nHint"},
      {0, 1500, "Error title", "Code: 0-1500\nText err_0006\nHint"},
  };
  for (const auto& row : rows) {
    Result r = Lookup(row.category, row.detail);
    ASSERT_TRUE(r.ok) << row.category << "/" << row.detail;
    EXPECT_EQ(row.title, r.title) << row.category << "/" << row.detail;
    EXPECT_EQ(row.message, r.message) << row.category << "/" << row.detail;
  }

  // Without category texts: category 2 and 3 fall to "err_0004".
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_0003=Text err_0003\r\n", ""));
  Result info = Lookup(2, 0);
  EXPECT_EQ("Info title", info.title);
  EXPECT_EQ("Text err_0004", info.message);
  Result error = Lookup(3, 0);
  EXPECT_EQ("Error title", error.title);
  EXPECT_EQ("Text err_0004\nHint", error.message);
}

TEST_F(GetErrorMessageTest, TitleInfoMissingVersusEmpty) {
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_title_info=Info title\r\n", ""));
  EXPECT_EQ("System Information", Lookup(2, 5).title);
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_title_info=Info title", "err_title_info="));
  EXPECT_EQ("tavrel Orvanta System Error", Lookup(2, 5).title);
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_title=Error title\r\n", ""));
  EXPECT_EQ("tavrel Orvanta System Error", Lookup(3, 5).title);
}

TEST_F(GetErrorMessageTest, MissingHintLeavesTheLineFeed) {
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_hint=Hint\r\n", ""));
  EXPECT_EQ("Code: 3-1100\nText err_0005\n", Lookup(3, 1100).message);
}

TEST_F(GetErrorMessageTest, SectionsAndKeysMatchWithoutRegardToCase) {
  install.WriteLocale(tag,
                      "[error]\r\n"
                      "ERR_CODE=\"E \"\r\n"
                      "Err_Title=Upper\r\n"
                      "ERR_0009=Nine\r\n"
                      "Err_Hint=See the manual\r\n");
  Result r = Lookup(4, 1300);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ("Upper", r.title);
  EXPECT_EQ("E 4-1300\nNine\nSee the manual", r.message);
}

TEST_F(GetErrorMessageTest, EveryCallReadsTheFileAndSettingAfresh) {
  install.WriteLocale(tag, FullLocaleFile());
  EXPECT_EQ("Error title", Lookup(3, 5).title);
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_title=Error title", "err_title=New"));
  EXPECT_EQ("New", Lookup(3, 5).title);

  TestInstallation other("mirwell-lookup-other");
  other.WriteLocale(tag, Replace(FullLocaleFile(), "err_title=Error title", "err_title=Other"));
  EXPECT_EQ("Other", Lookup(3, 5).title);
}

// The locale file is chosen by the system language; run under several.
TEST_F(GetErrorMessageTest, LocaleFileOfTheSystemLanguage) {
  for (const char* t : {"EN", "DE", "JP"}) {
    install.WriteLocale(t, Replace(FullLocaleFile(), "err_title=Error title",
                                   std::string("err_title=Title ") + t));
  }
  EXPECT_EQ("Title " + (tag == "DE" || tag == "JP" ? tag : std::string("EN")), Lookup(3, 5).title);
}

// Shift-JIS: cuts fall on whole characters (runs under ja_JP only).
TEST_F(GetErrorMessageTest, OverlongDoubleByteTextsAreCutOnWholeCharacters) {
  if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese ANSI code page";
  const std::string kChar = "\x83\x47";  // katakana E
  std::string many;
  for (int i = 0; i < 700; ++i) many += kChar;
  install.WriteLocale(tag, "[ERROR]\r\nerr_code=" + many + "\r\nerr_title=" + many +
                               "\r\nerr_0005=" + many + "\r\nerr_hint=" + many + "\r\n");
  Result r = Lookup(3, 1100);
  ASSERT_TRUE(r.ok);
  // Title: 511 characters; 1023 bytes would split the 512th.
  EXPECT_EQ(1022u, r.title.size());
  // Code line: 63 characters, its numbers and line feed cut off.
  EXPECT_EQ(many.substr(0, 126), r.message.substr(0, 126));
  EXPECT_LE(r.message.size(), 2047u);
  EXPECT_GE(r.message.size(), 2046u);
  size_t i = 0;
  while (i < r.message.size()) {
    if (IsDBCSLeadByte(static_cast<BYTE>(r.message[i]))) {
      ASSERT_LT(i + 1, r.message.size()) << "half a character at the end";
      i += 2;
    } else {
      i += 1;
    }
  }
  // The explanation follows the cut code line; then the line feed and hint.
  EXPECT_EQ(126u + 1022, r.message.find('\n'));
}

}  // namespace

namespace {

std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

// The shipped sample file of the system language composes a three-line error.
TEST_F(GetErrorMessageTest, SampleLocaleFileOfTheSystemLanguage) {
  std::string sample = ReadFile(std::string(MIRWELL_SAMPLE_LOCALE_DIR) + "/Orvanta_" + tag + ".ini");
  ASSERT_FALSE(sample.empty());
  install.WriteLocale(tag, sample);
  Result r = Lookup(3, 1314);
  ASSERT_TRUE(r.ok);
  EXPECT_NE("tavrel Orvanta System Error", r.title);
  size_t first = r.message.find('\n');
  ASSERT_NE(std::string::npos, first);
  EXPECT_NE(std::string::npos, r.message.find('\n', first + 1));
  if (tag == "EN") {
    EXPECT_EQ("Orvanta Error", r.title);
    EXPECT_EQ("Error code: 3-1314\n"
              "You do not have the privilege required for this operation.\n"
              "If the problem persists, please reinstall Orvanta or contact technical support.",
              r.message);
  }
}

}  // namespace
