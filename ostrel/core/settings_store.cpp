#include "settings_store.h"

#include <climits>
#include <cstring>

#include "heap_array.h"
#include "messenger_version.h"
#include "settings_table.h"
#include "status.h"
#include "text16.h"

namespace ostrel {

namespace {
// The ANSI write converts into 257 wide characters of which it may use 256.
constexpr int kAnsiWriteChars = 256;

// A stored default always passes its rule, so the second round ends the read;
// the bound only guards against a registry that changes under us.
constexpr int kMaxReadRounds = 4;

int ApplyDefault(const SettingsPorts& ports, const SettingEntry& entry) {
  switch (entry.onMissing) {
    case SettingDefault::kStore:
      return WriteSettingWide(ports, entry.index, entry.defaultText);
    case SettingDefault::kRefresh:
      return RefreshMessengerVersion(ports);
    case SettingDefault::kFail:
      break;
  }
  return ZT_ERR_NOT_FOUND;
}

// No code page takes more than four bytes for one UTF-16 unit.
constexpr int kMaxAnsiBytesPerUnit = 4;

bool HasNull(const char16_t* text, std::size_t chars) {
  for (std::size_t i = 0; i < chars; ++i) {
    if (text[i] == 0) return true;
  }
  return false;
}
}  // namespace

int WriteSettingWide(const SettingsPorts& ports, int index, const char16_t* value) {
  if (value == nullptr) return ZT_ERR_SYSTEM;
  const SettingEntry* entry = FindSetting(index);
  if (entry == nullptr || !PassesRule(*entry, value)) return ZT_ERR_BAD_VALUE;
  std::size_t length = Length16(value);
  if (length >= UINT32_MAX / 2) return ZT_ERR_MEMORY;

  OpenedKey key(ports.registry);
  if (uint32_t error = key.Open(RegistryKeyName::kSettings, KeyAccess::kSetValue)) {
    return StatusFromWindowsError(error);
  }
  uint32_t error = ports.registry.SetText(key.get(), entry->name, value,
                                          static_cast<uint32_t>((length + 1) * 2));
  return error != 0 ? StatusFromWindowsError(error) : ZT_OK;
}

int WriteSettingAnsi(const SettingsPorts& ports, int index, const char* value) {
  if (value == nullptr) return ZT_ERR_SYSTEM;
  char16_t wide[kAnsiWriteChars + 1] = {};
  uint32_t error = 0;
  if (ports.codePage.FromAnsi(value, -1, wide, kAnsiWriteChars, &error) == 0) {
    return CaptureSystemError(error);
  }
  return WriteSettingWide(ports, index, wide);
}

int ReadSettingWide(const SettingsPorts& ports, int index, char16_t* buffer, int* size) {
  if (buffer == nullptr || size == nullptr) return ZT_ERR_SYSTEM;
  // A negative capacity would reach the registry as a huge unsigned one.
  const int capacity = *size > 0 ? *size : 0;

  for (int round = 0; round < kMaxReadRounds; ++round) {
    *size = capacity;
    std::memset(buffer, 0, static_cast<std::size_t>(capacity));
    if (index == kMessengerVersionIndex) {
      if (int status = RefreshMessengerVersion(ports)) return status;
    }

    OpenedKey key(ports.registry);
    if (uint32_t error = key.Open(RegistryKeyName::kSettings, KeyAccess::kQueryValue)) {
      return StatusFromWindowsError(error);
    }
    const SettingEntry* entry = FindSetting(index);
    if (entry == nullptr) return ZT_ERR_BAD_INDEX;

    uint32_t bytes = static_cast<uint32_t>(capacity);
    uint32_t error = ports.registry.Query(key.get(), entry->name, buffer, &bytes);
    key.Close();

    if (error == winerr::kMoreData) {
      *size = bytes > INT_MAX ? INT_MAX : static_cast<int>(bytes);
      return ZT_ERR_MEMORY;
    }
    if (error == winerr::kFileNotFound) {
      if (int status = ApplyDefault(ports, *entry)) return status;
      continue;
    }
    if (error != 0) return StatusFromWindowsError(error);

    // The zero-filled buffer terminates a stored text that lacks its own
    // null, unless the text fills the buffer: then it needs one more
    // character of room, and reading on would run past the buffer.
    if (!HasNull(buffer, static_cast<std::size_t>(capacity) / 2)) {
      uint64_t needed = (uint64_t{bytes} + 1) / 2 * 2 + 2;
      *size = needed > INT_MAX ? INT_MAX : static_cast<int>(needed);
      std::memset(buffer, 0, static_cast<std::size_t>(capacity));
      return ZT_ERR_MEMORY;
    }
    *size = static_cast<int>(bytes);
    if (PassesRule(*entry, buffer)) return ZT_OK;
    if (int status = ApplyDefault(ports, *entry)) return status;
  }
  return ZT_ERR_NOT_FOUND;
}

namespace {
// After the wide read's ZT_ERR_MEMORY for `wideBytes`: the capacity with
// which an ANSI read succeeds. It takes as many wide characters for its own
// wide read as the value needs, and as many bytes as the text takes in the
// code page (two a character in a double-byte one), so the value is read
// whole and converted once to count them. That read may need more room in
// turn: a text stored without its null, or a value that grew in between.
int NeededAnsiSize(const SettingsPorts& ports, int index, int wideBytes, int* size) {
  for (int round = 0; round < kMaxReadRounds; ++round) {
    const int wideChars = wideBytes / 2 + wideBytes % 2;
    if (wideChars > INT_MAX / kMaxAnsiBytesPerUnit) return ZT_ERR_MEMORY;
    const int ansiBytes = wideChars * kMaxAnsiBytesPerUnit;
    HeapArray<char16_t> wide(wideChars);
    HeapArray<char> ansi(ansiBytes);
    if (!wide || !ansi) return ZT_ERR_MEMORY;
    wideBytes = wideChars * 2;
    int status = ReadSettingWide(ports, index, wide.get(), &wideBytes);
    if (status == ZT_ERR_MEMORY) continue;
    if (status != ZT_OK) return status;
    uint32_t error = 0;
    int bytes = ports.codePage.ToAnsi(wide.get(), -1, ansi.get(), ansiBytes, &error);
    if (bytes == 0) {
      *size = 0;
      return CaptureSystemError(error);
    }
    *size = bytes > wideChars ? bytes : wideChars;
    return ZT_ERR_MEMORY;
  }
  return ZT_ERR_MEMORY;
}
}  // namespace

int ReadSettingAnsi(const SettingsPorts& ports, int index, char* buffer, int* size) {
  if (buffer == nullptr || size == nullptr) return ZT_ERR_SYSTEM;
  const int capacity = *size > 0 ? *size : 0;
  // The wide read gets as many wide characters as the caller has bytes,
  // within what an int byte count can say.
  const int wideChars = capacity < INT_MAX / 2 ? capacity : INT_MAX / 2;
  HeapArray<char16_t> wide(wideChars > 0 ? wideChars : 1);
  if (!wide) return ZT_ERR_MEMORY;

  int wideSize = wideChars * 2;
  int status = ReadSettingWide(ports, index, wide.get(), &wideSize);
  if (status == ZT_ERR_MEMORY) return NeededAnsiSize(ports, index, wideSize, size);
  if (status != ZT_OK) return status;

  uint32_t error = 0;
  int written = ports.codePage.ToAnsi(wide.get(), -1, buffer, capacity, &error);
  *size = written;
  if (written == 0) return CaptureSystemError(error);
  return ZT_OK;
}

}  // namespace ostrel
