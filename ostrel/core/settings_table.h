// The settings table: value names, the rule every value must pass on write
// and on read, and what a read does when its value is missing or fails.
#pragma once

namespace ostrel {

enum class SettingRule {
  kAnyText,   // text entries: any text, the empty text included
  kRange,     // flags and integers: the text's leading number within min..max
  kNotEmpty,  // at least one character
};

enum class SettingDefault {
  kFail,     // the read fails with ZT_ERR_NOT_FOUND
  kStore,    // store defaultText, read again
  kRefresh,  // refresh from the messenger's version resource, read again
};

struct SettingEntry {
  int index;
  const char16_t* name;  // at most 31 characters
  SettingRule rule;
  long min;
  long max;
  SettingDefault onMissing;
  const char16_t* defaultText;  // for kStore; passes the entry's own rule
};

constexpr int kMessengerVersionIndex = 12;

// The entry of `index`, or null when the index names none (9, 13 and above,
// negative ones).
const SettingEntry* FindSetting(int index);

// True when `text` passes the entry's rule.
bool PassesRule(const SettingEntry& entry, const char16_t* text);

// The leading number of a text as the Windows C runtime's wcstol reads it in
// base 10: white space skipped, one optional sign, then decimal digits of any
// script (full-width and other Unicode decimal digits at their value) up to
// the first other character; no digits gives 0; out of range saturates.
long LeadingNumber(const char16_t* text);

}  // namespace ostrel
