// Loading DLLs from the system folder only. The archive's programs run from
// a download folder that others can write to, and Windows searches a
// program's own folder (and the current one) for a DLL named without a
// path: a planted DLL of that name would run with the user's rights.
// Header-only and without the C runtime, for the smallest programs.
#pragma once

#include <windows.h>

namespace orx {

// Makes the system folder the only place a DLL named without a path is
// looked for, for this process and every DLL it loads (the shell's too).
// Call it first thing. Systems without SetDefaultDllDirectories (Windows 7
// before its 2011 loader update) at least lose the current folder from the
// search (SetDllDirectoryW with an empty text); the program's own folder
// stays there, so every load of this program's own goes by full path
// (LoadSystemLibrary).
inline void RestrictDllSearchToSystemFolder() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
  if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

// Loads `name` (a file name, "bcrypt.dll") from the system folder by its
// full path; the DLL's own folder comes first for what it loads in turn.
// Null when the path does not fit or the load fails.
inline HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  UINT length = 0;
  while (name[length]) ++length;
  if (folder == 0 || folder + 1 + length + 1 > MAX_PATH) return nullptr;
  path[folder] = L'\\';
  for (UINT i = 0; i <= length; ++i) path[folder + 1 + i] = name[i];
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace orx
