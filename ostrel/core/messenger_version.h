// The messenger version refresh: the setting sMSNVersion is taken from the
// version resource of the installed messenger program before it is read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings_store.h"

namespace ostrel {

struct Translation {
  uint16_t langId;
  uint16_t codePage;
};

// Picks one entry of a non-empty "\VarFileInfo\Translation" array: the first
// entry that passes the first of these tests that any entry passes, each
// test scanning from the start: language id equal to the user's; equal low
// 8 bits; id 0; low 8 bits 0; id 9; low 8 bits 9; else the first entry.
std::size_t ChooseTranslation(const Translation* entries, std::size_t count, uint16_t userLangId);

// Finds msnmsgr.exe through the messenger's "InstallationDirectory" (read
// with a byte count of 260, so a folder of 130 characters or more fails
// with ZT_ERR_SYSTEM), reads its ProductVersion in the chosen translation
// (0x0409, Unicode, when the resource lists none) and stores it as
// sMSNVersion. Returns the store's status, the registry's error through the
// status map, a captured error of the version calls, 5 when the version block
// cannot be allocated, or ZT_ERR_NOT_FOUND when the resource holds no
// ProductVersion text.
int RefreshMessengerVersion(const SettingsPorts& ports);

}  // namespace ostrel
