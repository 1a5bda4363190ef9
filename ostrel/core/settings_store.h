// Reading and writing one setting of the product's settings key, with the
// rules and default rules of the settings table.
#pragma once

#include "ansi_code_page.h"
#include "language_ids.h"
#include "settings_registry.h"
#include "version_resources.h"

namespace ostrel {

struct SettingsPorts {
  SettingsRegistry& registry;
  VersionResources& versions;
  AnsiCodePage& codePage;
  LanguageIds& languageIds;  // the user's, for the messenger's translation
};

// Stores `value` after checking it against the entry's rule. Returns 0,
// ZT_ERR_BAD_VALUE (no entry, or the value fails; nothing stored, null
// `value` included) or the registry's error through the status map (the key
// is opened, never created: a missing key gives ZT_ERR_NOT_FOUND).
int WriteSettingWide(const SettingsPorts& ports, int index, const char16_t* value);

// Converts `value` strictly from the ANSI code page (at most 255 characters)
// and stores it as WriteSettingWide does; a failed conversion is captured.
int WriteSettingAnsi(const SettingsPorts& ports, int index, const char* value);

// Reads a setting into `buffer`; *size is its capacity in bytes.
//   0: `buffer` holds the text, null-terminated; *size the stored size.
//   ZT_ERR_MEMORY: *size holds the bytes needed (a stored text that fills
//     the buffer without a terminating null also needs room for one).
//   others: *size is the caller's. A value that is missing or fails its rule
//   gets the entry's default rule: the default is stored (which may fail with
//   the write's status) and the read starts again, or ZT_ERR_NOT_FOUND.
// Null `buffer` or `size` gives ZT_ERR_SYSTEM; a negative *size counts as 0.
int ReadSettingWide(const SettingsPorts& ports, int index, char16_t* buffer, int* size);

// As ReadSettingWide, in the ANSI code page; *size is the capacity in bytes.
//   0: *size is the number of bytes written, the null included.
//   ZT_ERR_MEMORY: *size is the capacity in bytes with which the next call
//     succeeds: the text's bytes in the code page with its null (more than
//     its characters in a double-byte code page), at least the value's wide
//     characters. With *size unchanged: no memory for the temporary copies.
//   a failed conversion: captured and mapped, *size 0.
int ReadSettingAnsi(const SettingsPorts& ports, int index, char* buffer, int* size);

}  // namespace ostrel
