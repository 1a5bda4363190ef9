#include "messenger_version.h"

#include <cstring>
#include <initializer_list>

#include "heap_array.h"
#include "settings_table.h"
#include "status.h"
#include "text16.h"

namespace ostrel {

namespace {
constexpr int kPathChars = 260;
// The folder query is given a byte count equal to the buffer's character
// count: the folder may hold at most 129 characters and its null.
constexpr uint32_t kFolderQueryBytes = 260;
constexpr int kVersionChars = 64;
constexpr char16_t kProgramName[] = u"msnmsgr.exe";
// For a resource without a translation array: the English Unicode block,
// the one resource compilers write by default.
constexpr Translation kFallbackTranslation = {0x0409, 1200};

void AppendHex4(char16_t*& out, uint16_t value) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) *out++ = kDigits[(value >> shift) & 0xF];
}

void AppendText(char16_t*& out, const char16_t* text) {
  while (*text) *out++ = *text++;
}

Translation ChosenTranslation(VersionResources& versions, const void* block,
                              uint16_t userLangId) {
  const void* value = nullptr;
  uint32_t bytes = 0;
  if (!versions.Query(block, u"\\VarFileInfo\\Translation", &value, &bytes) || value == nullptr ||
      bytes < sizeof(Translation)) {
    return kFallbackTranslation;
  }
  std::size_t count = bytes / sizeof(Translation);
  HeapArray<Translation> entries(count);
  if (!entries) return kFallbackTranslation;
  std::memcpy(entries.get(), value, count * sizeof(Translation));
  return entries[ChooseTranslation(entries.get(), count, userLangId)];
}
}  // namespace

std::size_t ChooseTranslation(const Translation* entries, std::size_t count, uint16_t userLangId) {
  const auto tests = {
      +[](uint16_t id, uint16_t user) { return id == user; },
      +[](uint16_t id, uint16_t user) { return (id & 0xFF) == (user & 0xFF); },
      +[](uint16_t id, uint16_t) { return id == 0; },
      +[](uint16_t id, uint16_t) { return (id & 0xFF) == 0; },
      +[](uint16_t id, uint16_t) { return id == 9; },
      +[](uint16_t id, uint16_t) { return (id & 0xFF) == 9; },
  };
  for (auto test : tests) {
    for (std::size_t i = 0; i < count; ++i) {
      if (test(entries[i].langId, userLangId)) return i;
    }
  }
  return 0;
}

int RefreshMessengerVersion(const SettingsPorts& ports) {
  char16_t folder[kPathChars] = {};
  {
    OpenedKey key(ports.registry);
    if (uint32_t error = key.Open(RegistryKeyName::kMessenger, KeyAccess::kQueryValue)) {
      return StatusFromWindowsError(error);
    }
    uint32_t bytes = kFolderQueryBytes;
    if (uint32_t error = ports.registry.Query(key.get(), u"InstallationDirectory", folder, &bytes)) {
      return StatusFromWindowsError(error);
    }
  }

  // The stored folder carries its trailing backslash.
  char16_t path[kPathChars] = {};
  std::size_t folderChars = Length16(folder);
  const std::size_t nameChars = sizeof kProgramName / sizeof kProgramName[0] - 1;
  if (folderChars + nameChars >= kPathChars) return ZT_ERR_SYSTEM;
  std::memcpy(path, folder, folderChars * sizeof(char16_t));
  std::memcpy(path + folderChars, kProgramName, nameChars * sizeof(char16_t));

  uint32_t error = 0;
  uint32_t infoSize = ports.versions.InfoSize(path, &error);
  if (infoSize == 0) return CaptureSystemError(error);
  HeapArray<unsigned char> block(infoSize);
  if (!block) return 5;
  if (!ports.versions.ReadInfo(path, infoSize, block.get(), &error)) {
    // Reported as a status: an exception cannot cross the C interface.
    return CaptureSystemError(error);
  }

  Translation chosen =
      ChosenTranslation(ports.versions, block.get(), ports.languageIds.UserDefault());
  char16_t query[64] = {};
  char16_t* out = query;
  AppendText(out, u"\\StringFileInfo\\");
  AppendHex4(out, chosen.langId);
  AppendHex4(out, chosen.codePage);
  AppendText(out, u"\\ProductVersion");

  const void* value = nullptr;
  uint32_t chars = 0;
  if (!ports.versions.Query(block.get(), query, &value, &chars) || value == nullptr) {
    return ZT_ERR_NOT_FOUND;
  }
  char16_t version[kVersionChars] = {};
  std::size_t copy = chars < kVersionChars - 1 ? chars : kVersionChars - 1;
  std::memcpy(version, value, copy * sizeof(char16_t));
  block.reset();

  return WriteSettingWide(ports, kMessengerVersionIndex, version);
}

}  // namespace ostrel
