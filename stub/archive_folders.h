// Where the archive's companion files are put on this machine, for the stub
// that writes them and the decryptor that reads and removes them.
//
// The cleanup tool and the payload go under the Windows folder where the
// recipient may create files there (an elevated run, a system without
// UAC). A standard user may not, so both then go into the recipient's own
// folder: one fixed folder under the user's temporary folder, which other
// users can neither read nor write. The stub tells the decryptor which
// (an argument after the archive's path).
//
// Header-only and without the C runtime, for the smallest programs.
#pragma once

#include <windows.h>

#include "archive_layout.h"
#include "orx/wide_text.h"

namespace archive {

// path = folder + name (name starts with a backslash); false, path empty,
// when the result does not fit in MAX_PATH units.
inline bool JoinPath(wchar_t (&path)[MAX_PATH], const wchar_t* folder, const wchar_t* name) {
  path[0] = 0;
  if (orx::AppendWide(path, MAX_PATH, folder) && orx::AppendWide(path, MAX_PATH, name)) return true;
  path[0] = 0;
  return false;
}

// "<Windows folder>", as GetWindowsDirectoryW gives it.
inline bool WindowsFolder(wchar_t (&folder)[MAX_PATH]) {
  UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
  return length != 0 && length < MAX_PATH;
}

// "<user's temporary folder>\Orx_Decrypt": the recipient's own folder.
// The same for every run of every archive of this user, so that a run
// finds what an earlier one still holds there (the cleanup tool's file)
// and the folder never multiplies.
inline bool UserFolder(wchar_t (&folder)[MAX_PATH]) {
  wchar_t temp[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);  // ends in a backslash
  if (length == 0 || length > MAX_PATH) return false;
  return JoinPath(folder, temp, kUserFolderName);
}

}  // namespace archive
