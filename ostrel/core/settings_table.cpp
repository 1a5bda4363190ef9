#include "settings_table.h"

#include <climits>

namespace ostrel {

namespace {
const SettingEntry kSettings[] = {
    {0, u"iEncryptionStrength", SettingRule::kRange, 0, 2, SettingDefault::kStore, u"1"},
    {1, u"bEnableFlag", SettingRule::kRange, 0, 1, SettingDefault::kStore, u"1"},
    {2, u"sSystemDir", SettingRule::kAnyText, 0, 0, SettingDefault::kFail, nullptr},
    {3, u"sTempDir", SettingRule::kAnyText, 0, 0, SettingDefault::kFail, nullptr},
    {4, u"bFirstSetup", SettingRule::kRange, 0, 1, SettingDefault::kStore, u"1"},
    {5, u"bMsnEnableFlag", SettingRule::kRange, 0, 1, SettingDefault::kFail, nullptr},
    {6, u"bScanFilesCompleteFlag", SettingRule::kRange, 0, 1, SettingDefault::kFail, nullptr},
    {7, u"sEncryptionFolderBanner", SettingRule::kAnyText, 0, 0, SettingDefault::kFail, nullptr},
    {8, u"sProductVersion", SettingRule::kAnyText, 0, 0, SettingDefault::kFail, nullptr},
    {10, u"iProgressPaceCoefficient", SettingRule::kRange, 1, 100, SettingDefault::kStore, u"3"},
    {11, u"bLoginAlertDisplayFlag", SettingRule::kRange, 0, 1, SettingDefault::kStore, u"1"},
    {kMessengerVersionIndex, u"sMSNVersion", SettingRule::kNotEmpty, 0, 0, SettingDefault::kRefresh,
     nullptr},
};

// The white space of the Windows C runtime's iswspace.
bool IsSpace(char16_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

// The value of a decimal digit of any script, or -1. Each listed code point is
// the zero of a block of ten consecutive digits.
int DigitValue(char16_t c) {
  static const char16_t kZeros[] = {
      0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
      0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
      0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
      0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
  };
  for (char16_t zero : kZeros) {
    if (c >= zero && c < zero + 10) return c - zero;
  }
  return -1;
}
}  // namespace

const SettingEntry* FindSetting(int index) {
  for (const auto& e : kSettings) {
    if (e.index == index) return &e;
  }
  return nullptr;
}

long LeadingNumber(const char16_t* text) {
  const char16_t* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') {
    negative = *p == u'-';
    ++p;
  }
  // Accumulate as a negative number so that LONG_MIN is reachable.
  long value = 0;
  bool saturated = false;
  for (int d; (d = DigitValue(*p)) >= 0; ++p) {
    if (saturated) continue;
    if (value < (LONG_MIN + d) / 10) {
      saturated = true;
      continue;
    }
    value = value * 10 - d;
  }
  if (saturated) return negative ? LONG_MIN : LONG_MAX;
  if (negative) return value;
  return value == LONG_MIN ? LONG_MAX : -value;
}

bool PassesRule(const SettingEntry& entry, const char16_t* text) {
  switch (entry.rule) {
    case SettingRule::kAnyText:
      return true;
    case SettingRule::kNotEmpty:
      return text[0] != 0;
    case SettingRule::kRange: {
      long n = LeadingNumber(text);
      return n >= entry.min && n <= entry.max;
    }
  }
  return false;
}

}  // namespace ostrel
