// Key choice and composition of error texts over an in-memory locale file.
#include "error_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake_ports.h"

namespace mirwell {
namespace {

using testing::FixedEnvironment;
using testing::MemoryProfile;
using testing::ShiftJisCodePage;
using testing::SingleByteCodePage;

TEST(RangeKey, EveryBoundaryOfTheTable) {
  const struct {
    uint32_t code;
    const char* key;
  } rows[] = {
      {0, "err_0004"},    {1000, "err_0004"}, {1001, "err_0005"},       {1006, "err_0005"},
      {1007, "err_0007"}, {1008, "err_0005"}, {1200, "err_0005"},       {1201, "err_0009"},
      {1313, "err_0009"}, {1314, "err_0008"}, {1315, "err_0009"},       {1400, "err_0009"},
      {1401, "err_0006"}, {1500, "err_0006"}, {1501, "err_0010"},       {1600, "err_0010"},
      {1601, "err_0001"}, {2000, "err_0001"}, {2001, "err_0003"},       {3000, "err_0003"},
      {3001, "err_0000"}, {3002, "err_0001"}, {3003, "err_0003"},       {3004, "err_0003"},
      {3007, "err_0003"}, {3008, "err_0003"}, {3009, "err_0001"},       {3010, "err_0003"},
      {3100, "err_0003"}, {3101, "err_0001"}, {3104, "err_0001"},       {0x7FFFFFFF, "err_0001"},
      {0x80000000u, "err_0001"},  // would be below 0 if compared as signed
      {4294967295u, "err_0001"},
  };
  for (const auto& row : rows) EXPECT_STREQ(row.key, RangeKeyFor(row.code)) << row.code;
}

TEST(CategoryKey, SignedDecimalPaddedToFour) {
  char key[kCategoryKeySize];
  const struct {
    int32_t category;
    const char* key;
  } rows[] = {{2, "err_0002"},     {12, "err_0012"},      {12345, "err_12345"},
              {-5, "err_-005"},    {0, "err_0000"},       {-2147483647 - 1, "err_-2147483648"}};
  for (const auto& row : rows) {
    FormatCategoryKey(row.category, key);
    EXPECT_STREQ(row.key, key) << row.category;
  }
}

class Compose : public ::testing::Test {
 protected:
  void SetUp() override {
    file.path = "C:\\Orvanta\\locale\\Orvanta_EN.ini";
    file.Set("ERROR", "err_code", "Code: ");
    file.Set("ERROR", "err_title", "Error");
    file.Set("ERROR", "err_title_info", "Info");
    file.Set("ERROR", "err_hint", "Hint");
    for (const char* key : {"err_0000", "err_0001", "err_0003", "err_0004", "err_0005",
                            "err_0006", "err_0007", "err_0008", "err_0009", "err_0010"}) {
      file.Set("ERROR", key, std::string("Text ") + key);
    }
  }
  ComposeStatus Run(int32_t category, uint32_t detail) {
    return ComposeErrorText(category, detail, env, file, codePage, &text);
  }

  FixedEnvironment env;
  MemoryProfile file;
  SingleByteCodePage codePage;
  ErrorText text;
};

TEST_F(Compose, LocaleFileIsFolderLocaleAndTag) {
  env.folder = "D:\\Apps\\Orvanta\\";
  env.tag = "JP";
  file.path.clear();
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 5));
  EXPECT_STREQ("D:\\Apps\\Orvanta\\\\locale\\Orvanta_JP.ini", text.localeFile);
  EXPECT_EQ(file.pathsRead.front(), text.localeFile);
}

// The rows of the composition table, one by one.
TEST_F(Compose, Category2WithCategoryText) {
  file.Set("ERROR", "err_0002", "All done");
  ASSERT_EQ(ComposeStatus::kOk, Run(2, 0));
  EXPECT_TRUE(text.isInfo);
  EXPECT_STREQ("Info", text.title);
  EXPECT_STREQ("All done", text.message);
}

TEST_F(Compose, Category2WithoutCategoryTextFallsToRangeKeyOfZero) {
  ASSERT_EQ(ComposeStatus::kOk, Run(2, 0));
  EXPECT_TRUE(text.isInfo);
  EXPECT_STREQ("Info", text.title);
  EXPECT_STREQ("Text err_0004", text.message);
}

TEST_F(Compose, Category2WithDetailCodeHasNeitherCodeLineNorHint) {
  file.Set("ERROR", "err_0002", "never read");
  ASSERT_EQ(ComposeStatus::kOk, Run(2, 1314));
  EXPECT_TRUE(text.isInfo);
  EXPECT_STREQ("Info", text.title);
  EXPECT_STREQ("Text err_0008", text.message);
  for (const auto& key : file.keysRead) EXPECT_NE("err_0002", key);
}

TEST_F(Compose, Category3WithCategoryTextHasNoCodeLineNoHint) {
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 0));  // "err_0003" is its category key
  EXPECT_FALSE(text.isInfo);
  EXPECT_STREQ("Error", text.title);
  EXPECT_STREQ("Text err_0003", text.message);
}

TEST_F(Compose, Category3WithoutCategoryTextStartsWithoutCodeLine) {
  file.values.erase({"ERROR", "err_0003"});
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 0));
  EXPECT_FALSE(text.isInfo);
  EXPECT_STREQ("Error", text.title);
  EXPECT_STREQ("Text err_0004\nHint", text.message);
}

TEST_F(Compose, Category3WithDetailCodeHasThreeLines) {
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 1007));
  EXPECT_FALSE(text.isInfo);
  EXPECT_STREQ("Error", text.title);
  EXPECT_STREQ("Code: 3-1007\nText err_0007\nHint", text.message);
}

TEST_F(Compose, OtherCategoryWithCategoryTextIsInformation) {
  file.Set("ERROR", "err_0012", "Twelve");
  ASSERT_EQ(ComposeStatus::kOk, Run(12, 0));
  EXPECT_TRUE(text.isInfo);
  EXPECT_STREQ("Info", text.title);
  EXPECT_STREQ("Twelve", text.message);
}

TEST_F(Compose, OtherCategoryWithoutCategoryTextIsError) {
  ASSERT_EQ(ComposeStatus::kOk, Run(-5, 0));
  EXPECT_FALSE(text.isInfo);
  EXPECT_STREQ("Error", text.title);
  EXPECT_STREQ("Code: -5-0\nText err_0004\nHint", text.message);
  EXPECT_NE(file.keysRead.end(), std::find(file.keysRead.begin(), file.keysRead.end(), "err_-005"));
}

TEST_F(Compose, OtherCategoryWithDetailCodePrintsItSigned) {
  ASSERT_EQ(ComposeStatus::kOk, Run(1, 4294967295u));
  EXPECT_STREQ("Error", text.title);
  EXPECT_STREQ("Code: 1--1\nText err_0001\nHint", text.message);
}

TEST_F(Compose, TitleFallbacks) {
  file.values.erase({"ERROR", "err_title"});
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 5));
  EXPECT_STREQ(kFallbackTitle, text.title);

  file.Set("ERROR", "err_title", "");
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 5));
  EXPECT_STREQ(kFallbackTitle, text.title);

  file.values.erase({"ERROR", "err_title_info"});
  ASSERT_EQ(ComposeStatus::kOk, Run(2, 5));
  EXPECT_STREQ("System Information", text.title);

  file.Set("ERROR", "err_title_info", "");
  ASSERT_EQ(ComposeStatus::kOk, Run(2, 5));
  EXPECT_STREQ(kFallbackTitle, text.title);
}

TEST_F(Compose, MissingHintLeavesTrailingLineFeed) {
  file.values.erase({"ERROR", "err_hint"});
  ASSERT_EQ(ComposeStatus::kOk, Run(7, 3001));
  EXPECT_STREQ("Code: 7-3001\nText err_0000\n", text.message);
}

TEST_F(Compose, Failures) {
  env.hasFolder = false;
  EXPECT_EQ(ComposeStatus::kNoInstallFolder, Run(3, 5));
  EXPECT_TRUE(file.keysRead.empty());
  env.hasFolder = true;

  env.tag = "DE";  // no such file
  EXPECT_EQ(ComposeStatus::kNoCodeText, Run(3, 5));
  env.tag = "EN";

  file.Set("ERROR", "err_code", "");
  EXPECT_EQ(ComposeStatus::kNoCodeText, Run(2, 0));
  file.Set("ERROR", "err_code", "Code: ");

  file.values.erase({"ERROR", "err_0006"});
  EXPECT_EQ(ComposeStatus::kNoExplanation, Run(3, 1450));
  file.Set("ERROR", "err_0006", "");
  EXPECT_EQ(ComposeStatus::kNoExplanation, Run(2, 1450));
  // A category text makes the range key unnecessary.
  file.Set("ERROR", "err_0009", "Nine");
  file.values.erase({"ERROR", "err_0004"});
  EXPECT_EQ(ComposeStatus::kOk, Run(9, 0));
  EXPECT_STREQ("Nine", text.message);
}

TEST_F(Compose, FolderTooLongForThePathFailsInsteadOfNamingAnotherFile) {
  // The suffix \locale\Orvanta_EN.ini is 22 bytes: a folder of 1001 just fits.
  env.folder = std::string(kPathSize - 1 - 22, 'a');
  file.path.clear();
  EXPECT_EQ(ComposeStatus::kOk, Run(3, 5));
  env.folder += "a";
  file.pathsRead.clear();
  EXPECT_EQ(ComposeStatus::kPathTooLong, Run(3, 5));
  EXPECT_TRUE(file.pathsRead.empty());
}

TEST_F(Compose, ButtonLabel) {
  char label[kLabelSize];
  ReadButtonLabel(2, file.path.c_str(), file, codePage, label);
  EXPECT_STREQ("OK", label);
  ReadButtonLabel(3, file.path.c_str(), file, codePage, label);
  EXPECT_STREQ("OK", label);
  file.Set("COMMON", "lbOK", "Close");
  file.Set("COMMON", "lbNext", "Next");
  ReadButtonLabel(2, file.path.c_str(), file, codePage, label);
  EXPECT_STREQ("Next", label);
  ReadButtonLabel(-1, file.path.c_str(), file, codePage, label);
  EXPECT_STREQ("Close", label);
  file.Set("COMMON", "lbOK", "");
  ReadButtonLabel(3, file.path.c_str(), file, codePage, label);
  EXPECT_STREQ("", label);
}

// Overlong texts: every buffer keeps its size and its last whole character.
TEST_F(Compose, LongTextsAreCutAtTheirBuffersEnd) {
  file.Set("ERROR", "err_code", std::string(2000, 'c'));  // the reader cuts it to 1023
  file.Set("ERROR", "err_0005", std::string(2000, 'e'));
  file.Set("ERROR", "err_hint", std::string(2000, 'h'));
  ASSERT_EQ(ComposeStatus::kOk, Run(3, 1100));
  std::string message = text.message;
  // Code line cut to 127 bytes (its numbers and line feed dropped), then
  // 1023 bytes of explanation, then the line feed and what fits of the hint.
  ASSERT_EQ(kMessageSize - 1, message.size());
  EXPECT_EQ(std::string(127, 'c') + std::string(1023, 'e') + "\n" +
                std::string(kMessageSize - 1 - 127 - 1023 - 1, 'h'),
            message);
  EXPECT_EQ(0, text.message[kMessageSize - 1]);
}

TEST_F(Compose, CutsNeverSplitADoubleByteCharacter) {
  ShiftJisCodePage sjis;
  const std::string kana = "\x83\x41";  // one two-byte character
  // Code line: 1 + 63 characters = 127 bytes, the numbers do not fit at all.
  file.Set("ERROR", "err_code", "x" + [&] { std::string s; for (int i = 0; i < 600; ++i) s += kana; return s; }());
  // Explanation read into 1024 bytes: the reader cuts after 1023 bytes, in
  // the middle of the 512th character; the dangling lead byte is dropped.
  std::string explanation;
  for (int i = 0; i < 600; ++i) explanation += kana;
  file.Set("ERROR", "err_0004", explanation);
  file.Set("ERROR", "err_hint", explanation);
  ASSERT_EQ(ComposeStatus::kOk, ComposeErrorText(9, 1, env, file, sjis, &text));
  std::string message = text.message;
  std::string expectCodeLine = "x";
  for (int i = 0; i < 63; ++i) expectCodeLine += kana;
  std::string expectExplanation;
  for (int i = 0; i < 511; ++i) expectExplanation += kana;
  ASSERT_EQ(expectCodeLine, message.substr(0, 127));
  ASSERT_EQ(expectExplanation, message.substr(127, 1022));
  ASSERT_EQ('\n', message[127 + 1022]);
  // 2047 - 1150 = 897 bytes left for the hint: 448 whole characters.
  EXPECT_EQ(127u + 1022 + 1 + 896, message.size());
  for (size_t i = 127 + 1023; i < message.size(); i += 2) EXPECT_EQ(kana, message.substr(i, 2));

  // The title is cut by the reader alone; a dangling lead byte is dropped.
  file.Set("ERROR", "err_title", "y" + explanation);
  ASSERT_EQ(ComposeStatus::kOk, ComposeErrorText(9, 1, env, file, sjis, &text));
  EXPECT_EQ(1023u, std::string(text.title).size());
  file.Set("ERROR", "err_title", explanation);
  ASSERT_EQ(ComposeStatus::kOk, ComposeErrorText(9, 1, env, file, sjis, &text));
  EXPECT_EQ(1022u, std::string(text.title).size());
}

}  // namespace
}  // namespace mirwell
