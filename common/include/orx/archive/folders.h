// Where the archive's companion files are put on this machine, and under
// which names, for the stub that writes them and the decryptor that reads
// and removes them.
//
// The decryptor goes into the current folder. The cleanup tool and the
// payload go under the Windows folder where the recipient may create files
// there (an elevated run, a system without UAC). A standard user may not,
// so both then go into the recipient's own folder: one fixed folder under
// the user's temporary folder, which other users can neither read nor
// write. The stub tells the decryptor which (an argument after the
// archive's path).
//
// Header-only and without the C runtime, for the smallest programs.
#pragma once

#include <windows.h>

#include "orx/wide_text.h"

namespace archive {

// ---- Names (each starts with a backslash: it follows a folder) ----------

constexpr const wchar_t kDecryptorName[] = L"\\Orx_DecryptFile.exe";  // under the current folder
constexpr const wchar_t kCleanupName[] = L"\\Orx_DelTool.exe";        // under either folder
constexpr const wchar_t kUserFolderName[] = L"Orx_Decrypt";           // under the user's temp folder

// The payload's name under each folder. The stub writes it and the
// decryptor reads and removes it under these names, both taking them from
// here alone (the decryptor through its launch), so that a rule for the
// name (one per run, say) is made in this one place.
constexpr const wchar_t kPayloadName[] = L"\\temp\\Orx_Decrypt.tmp";  // under the Windows folder
constexpr const wchar_t kUserPayloadName[] = L"\\Orx_Decrypt.tmp";    // under the user's folder

// ---- Folders and paths ------------------------------------------------------

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
