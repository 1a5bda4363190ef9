// The eleven exports: plain C functions that hand their arguments to the
// portable code with the Windows ports. Nothing here throws: the portable
// code reports every failure as a status.
#include <windows.h>

#include "core/admin_membership.h"
#include "core/language_table.h"
#include "core/password_rules.h"
#include "core/settings_store.h"
#include "core/status.h"
#include "ostrel.h"
#include "windows_ports.h"

namespace {

const char16_t* U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
char16_t* U(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

// The ports keep no state; one set per call costs nothing.
struct WindowsPorts {
  ostrel::WindowsSettingsRegistry registry;
  ostrel::WindowsVersionResources versions;
  ostrel::WindowsAnsiCodePage codePage;
  ostrel::WindowsLanguageIds languageIds;
  ostrel::SettingsPorts ports{registry, versions, codePage, languageIds};
};

const ostrel::Language& CurrentLanguage() {
  ostrel::WindowsLanguageIds ids;
  return ostrel::CurrentLanguage(ids);
}

}  // namespace

extern "C" {

int OSTREL_CALL ZT_GetUserDefaultLang(void) { return CurrentLanguage().code; }

wchar_t* OSTREL_CALL ZT_GetUserDefaultLangStringW(wchar_t* out) {
  if (out == nullptr) return nullptr;
  const ostrel::Language& language = CurrentLanguage();
  for (int i = 0; i < 3; ++i) out[i] = static_cast<wchar_t>(language.tag[i]);
  return out;
}

int OSTREL_CALL ZT_GetUserDefaultLangStringA(char* out) {
  if (out == nullptr) return 0;
  char16_t tag[3] = {};
  const ostrel::Language& language = CurrentLanguage();
  for (int i = 0; i < 3; ++i) tag[i] = language.tag[i];
  // A failed conversion returns 0 and, unlike the settings, captures nothing.
  ostrel::WindowsAnsiCodePage codePage;
  uint32_t ignored = 0;
  return codePage.ToAnsi(tag, -1, out, 3, &ignored);
}

int OSTREL_CALL ZT_ReadINIFileW(int index, wchar_t* buffer, int* size) {
  WindowsPorts w;
  return ostrel::ReadSettingWide(w.ports, index, U(buffer), size);
}

int OSTREL_CALL ZT_ReadINIFileA(int index, char* buffer, int* size) {
  WindowsPorts w;
  return ostrel::ReadSettingAnsi(w.ports, index, buffer, size);
}

int OSTREL_CALL ZT_WriteINIFileW(int index, const wchar_t* value) {
  WindowsPorts w;
  return ostrel::WriteSettingWide(w.ports, index, U(value));
}

int OSTREL_CALL ZT_WriteINIFileA(int index, const char* value) {
  WindowsPorts w;
  return ostrel::WriteSettingAnsi(w.ports, index, value);
}

int OSTREL_CALL ZT_GetLastErrorCode(void) { return static_cast<int>(ostrel::LastSystemError()); }

int OSTREL_CALL ZT_IsBuildinLocalAdminGroup(int* isMember) {
  ostrel::WindowsAdminGroupToken token;
  return ostrel::IsBuiltinAdminGroupMember(token, isMember);
}

int OSTREL_CALL ZT_ValidatePasswordA(const char* password) {
  return ostrel::ValidatePasswordAnsi(password);
}

int OSTREL_CALL ZT_ValidatePasswordW(const wchar_t* password) {
  ostrel::WindowsAnsiCodePage codePage;
  return ostrel::ValidatePasswordWide(U(password), codePage);
}

}  // extern "C"
