#include "error_text.h"

#include <cstdio>
#include <cstring>

namespace mirwell {
namespace {

constexpr const char kErrorSection[] = "ERROR";
constexpr const char kCommonSection[] = "COMMON";

// Reads a value and makes sure it does not end in half a character.
size_t ReadValue(ProfileReader& reader, const char* path, const char* section,
                 const char* key, const char* defaultValue, char* out, size_t size,
                 const AnsiCodePage& codePage) {
  out[0] = '\0';
  size_t length = reader.Read(path, section, key, defaultValue, out, size);
  out[size - 1] = '\0';
  if (length == 0) return 0;
  return DropDanglingLeadByte(out, codePage);
}

// folder + "\locale\Orvanta_" + tag + ".ini"; false when that does not fit
// (a shortened path would name another file).
bool BuildLocaleFilePath(const char* folder, const char* tag, char* out) {
  int n = std::snprintf(out, kPathSize, "%s\\locale\\Orvanta_%s.ini", folder, tag);
  return n >= 0 && static_cast<size_t>(n) < kPathSize;
}

}  // namespace

void FormatCategoryKey(int32_t category, char* out) {
  std::snprintf(out, kCategoryKeySize, "err_%04d", static_cast<int>(category));
}

const char* RangeKeyFor(uint32_t d) {
  if (d <= 1000) return "err_0004";
  if (d == 1007) return "err_0007";
  if (d <= 1200) return "err_0005";
  if (d == 1314) return "err_0008";
  if (d <= 1400) return "err_0009";
  if (d <= 1500) return "err_0006";
  if (d <= 1600) return "err_0010";
  if (d >= 2001 && d <= 3000) return "err_0003";
  if (d >= 3003 && d <= 3100 && d != 3009) return "err_0003";
  if (d == 3001) return "err_0000";
  return "err_0001";
}

ComposeStatus ComposeErrorText(int32_t category, uint32_t detailCode,
                               InstallEnvironment& environment, ProfileReader& reader,
                               const AnsiCodePage& codePage, ErrorText* out) {
  char folder[kFolderSize] = {};
  if (!environment.InstallFolder(folder, sizeof folder)) return ComposeStatus::kNoInstallFolder;
  folder[kFolderSize - 1] = '\0';
  char tag[kTagSize] = {};
  environment.LanguageTag(tag, sizeof tag);
  tag[kTagSize - 1] = '\0';
  if (!BuildLocaleFilePath(folder, tag, out->localeFile)) return ComposeStatus::kPathTooLong;
  const char* file = out->localeFile;

  char codeText[kValueSize];
  if (ReadValue(reader, file, kErrorSection, "err_code", "", codeText, sizeof codeText,
                codePage) == 0) {
    return ComposeStatus::kNoCodeText;
  }
  // The detail code is printed as signed: 4294967295 reads "-1".
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%d-%d\n", static_cast<int>(category),
                static_cast<int>(static_cast<int32_t>(detailCode)));
  char codeLine[kCodeLineSize];
  AnsiTextBuilder codeLineText(codeLine, sizeof codeLine, codePage);
  codeLineText.Append(codeText);
  codeLineText.Append(numbers);

  char categoryText[kValueSize] = {};
  if (detailCode == 0) {
    char key[kCategoryKeySize];
    FormatCategoryKey(category, key);
    ReadValue(reader, file, kErrorSection, key, "", categoryText, sizeof categoryText, codePage);
  }
  const bool hasCategoryText = categoryText[0] != '\0';

  out->isInfo = category == 2 || (category != 3 && hasCategoryText);
  char title[kValueSize];
  size_t titleLength =
      out->isInfo ? ReadValue(reader, file, kErrorSection, "err_title_info", kInfoTitleDefault,
                              title, sizeof title, codePage)
                  : ReadValue(reader, file, kErrorSection, "err_title", "", title,
                              sizeof title, codePage);
  if (titleLength == 0) std::strcpy(title, kFallbackTitle);

  AnsiTextBuilder message(out->message, sizeof out->message, codePage);
  if (out->isInfo || (category == 3 && detailCode == 0)) {
    message.Append(categoryText);
  } else {
    message.Append(codeLine);
  }
  if (!hasCategoryText) {
    char explanation[kValueSize];
    if (ReadValue(reader, file, kErrorSection, RangeKeyFor(detailCode), "", explanation,
                  sizeof explanation, codePage) == 0) {
      return ComposeStatus::kNoExplanation;
    }
    message.Append(explanation);
    if (category != 2) {
      char hint[kValueSize];
      ReadValue(reader, file, kErrorSection, "err_hint", "", hint, sizeof hint, codePage);
      message.Append("\n");
      message.Append(hint);
    }
  }
  static_assert(kValueSize <= kTitleSize, "a title read from the file always fits");
  std::strcpy(out->title, title);
  return ComposeStatus::kOk;
}

void ReadButtonLabel(int32_t category, const char* localeFile, ProfileReader& reader,
                     const AnsiCodePage& codePage, char* out) {
  ReadValue(reader, localeFile, kCommonSection, category == 2 ? "lbNext" : "lbOK", "OK", out,
            kLabelSize, codePage);
}

}  // namespace mirwell
