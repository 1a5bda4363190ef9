// The ports of the portable code, filled in with the Windows API.
#pragma once

#include "core/admin_membership.h"
#include "core/ansi_code_page.h"
#include "core/language_ids.h"
#include "core/settings_registry.h"
#include "core/version_resources.h"

namespace ostrel {

// RegOpenKeyExW on HKEY_LOCAL_MACHINE with the plain access rights: a 32-bit
// process on 64-bit Windows sees the redirected (WOW6432Node) view.
class WindowsSettingsRegistry final : public SettingsRegistry {
 public:
  uint32_t Open(RegistryKeyName name, KeyAccess access, Key* key) override;
  uint32_t Query(Key key, const char16_t* name, void* data, uint32_t* bytes) override;
  uint32_t SetText(Key key, const char16_t* name, const char16_t* text, uint32_t bytes) override;
  void Close(Key key) override;
};

// CP_ACP through WideCharToMultiByte and MultiByteToWideChar.
class WindowsAnsiCodePage final : public AnsiCodePage {
 public:
  int ToAnsi(const char16_t* text, int chars, char* out, int outBytes, uint32_t* error) override;
  int FromAnsi(const char* text, int bytes, char16_t* out, int outChars, uint32_t* error) override;
};

// version.dll's GetFileVersionInfo*W and VerQueryValueW.
class WindowsVersionResources final : public VersionResources {
 public:
  uint32_t InfoSize(const char16_t* path, uint32_t* error) override;
  bool ReadInfo(const char16_t* path, uint32_t size, void* block, uint32_t* error) override;
  bool Query(const void* block, const char16_t* subBlock, const void** value,
             uint32_t* length) override;
};

// GetSystemDefaultLangID and GetUserDefaultLangID.
class WindowsLanguageIds final : public LanguageIds {
 public:
  uint16_t SystemDefault() override;
  uint16_t UserDefault() override;
};

// AllocateAndInitializeSid and CheckTokenMembership.
class WindowsAdminGroupToken final : public AdminGroupToken {
 public:
  Result Test() override;
};

}  // namespace ostrel
