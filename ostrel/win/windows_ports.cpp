#include "windows_ports.h"

#include <windows.h>

namespace ostrel {

namespace {
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

const wchar_t* KeyPath(RegistryKeyName name) {
  switch (name) {
    case RegistryKeyName::kSettings:
      return L"SOFTWARE\\Tavrel\\Orvanta";
    case RegistryKeyName::kMessenger:
      return L"SOFTWARE\\Microsoft\\MSNMessenger";
  }
  return L"";
}
}  // namespace

uint32_t WindowsSettingsRegistry::Open(RegistryKeyName name, KeyAccess access, Key* key) {
  REGSAM sam = access == KeyAccess::kSetValue ? KEY_SET_VALUE : KEY_QUERY_VALUE;
  HKEY opened = nullptr;
  LSTATUS error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(name), 0, sam, &opened);
  if (error == ERROR_SUCCESS) *key = opened;
  return static_cast<uint32_t>(error);
}

uint32_t WindowsSettingsRegistry::Query(Key key, const char16_t* name, void* data, uint32_t* bytes) {
  DWORD count = *bytes;
  LSTATUS error = RegQueryValueExW(static_cast<HKEY>(key), W(name), nullptr, nullptr,
                                   static_cast<BYTE*>(data), &count);
  *bytes = count;
  return static_cast<uint32_t>(error);
}

uint32_t WindowsSettingsRegistry::SetText(Key key, const char16_t* name, const char16_t* text,
                                          uint32_t bytes) {
  return static_cast<uint32_t>(RegSetValueExW(static_cast<HKEY>(key), W(name), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(text), bytes));
}

void WindowsSettingsRegistry::Close(Key key) { RegCloseKey(static_cast<HKEY>(key)); }

int WindowsAnsiCodePage::ToAnsi(const char16_t* text, int chars, char* out, int outBytes,
                                uint32_t* error) {
  // A zero capacity would turn the call into a size query.
  if (outBytes <= 0) {
    *error = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  int written = WideCharToMultiByte(CP_ACP, 0, W(text), chars, out, outBytes, nullptr, nullptr);
  if (written == 0) *error = GetLastError();
  return written;
}

int WindowsAnsiCodePage::FromAnsi(const char* text, int bytes, char16_t* out, int outChars,
                                  uint32_t* error) {
  if (outChars <= 0) {
    *error = ERROR_INSUFFICIENT_BUFFER;
    return 0;
  }
  int written = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, W(out), outChars);
  if (written == 0) *error = GetLastError();
  return written;
}

uint32_t WindowsVersionResources::InfoSize(const char16_t* path, uint32_t* error) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(W(path), &handle);
  if (size == 0) *error = GetLastError();
  return size;
}

bool WindowsVersionResources::ReadInfo(const char16_t* path, uint32_t size, void* block,
                                       uint32_t* error) {
  if (GetFileVersionInfoW(W(path), 0, size, block)) return true;
  *error = GetLastError();
  return false;
}

bool WindowsVersionResources::Query(const void* block, const char16_t* subBlock, const void** value,
                                    uint32_t* length) {
  void* found = nullptr;
  UINT count = 0;
  if (!VerQueryValueW(block, W(subBlock), &found, &count)) return false;
  *value = found;
  *length = count;
  return true;
}

uint16_t WindowsLanguageIds::SystemDefault() { return GetSystemDefaultLangID(); }

uint16_t WindowsLanguageIds::UserDefault() { return GetUserDefaultLangID(); }

AdminGroupToken::Result WindowsAdminGroupToken::Test() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID group = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &group)) {
    return {Outcome::kIdentifierFailed, 0, GetLastError()};
  }
  BOOL member = FALSE;
  BOOL tested = CheckTokenMembership(nullptr, group, &member);
  DWORD error = tested ? 0 : GetLastError();
  FreeSid(group);
  if (!tested) return {Outcome::kTestFailed, 0, error};
  return {Outcome::kTested, member, 0};
}

}  // namespace ostrel
