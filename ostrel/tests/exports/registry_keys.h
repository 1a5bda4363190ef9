// The tests' own handling of the two registry keys the library reads: they
// create and delete them (the library never creates either), and read or
// write values behind the library's back.
#pragma once

#include <windows.h>

#include <string>

#include "orx/unique_handle.h"

namespace ostrel::wine {

constexpr const wchar_t* kSettingsKey = L"SOFTWARE\\Tavrel\\Orvanta";
constexpr const wchar_t* kMessengerKey = L"SOFTWARE\\Microsoft\\MSNMessenger";

// Deletes a key with everything under it; a missing key is fine.
inline void DeleteKey(const wchar_t* path) { RegDeleteTreeW(HKEY_LOCAL_MACHINE, path); }

inline void DeleteSettingsKey() {
  DeleteKey(kSettingsKey);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tavrel");
}

inline orx::RegKey CreateKey(const wchar_t* path) {
  orx::RegKey key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                  nullptr);
  return key;
}

inline bool KeyExists(const wchar_t* path) {
  orx::RegKey key;
  return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Stores REG_SZ data, with or without its terminating null.
inline LSTATUS PutText(const wchar_t* path, const wchar_t* name, const std::wstring& text,
                       bool withNull = true) {
  orx::RegKey key = CreateKey(path);
  DWORD bytes = static_cast<DWORD>((text.size() + (withNull ? 1 : 0)) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        bytes);
}

// The stored text of a value, or "<missing>".
inline std::wstring GetText(const wchar_t* path, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  orx::RegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
      RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                       &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

}  // namespace ostrel::wine
