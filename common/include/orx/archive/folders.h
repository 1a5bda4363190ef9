// Where the archive's companion files are put on this machine, and under
// which names, for the stub that writes them and the decryptor that reads
// and removes them.
//
// The decryptor goes into the current folder. The cleanup tool and the
// payload go under the Windows folder where the recipient may create files
// there (an elevated run, a system without UAC). A standard user may not,
// so both then go into the recipient's own folder: one fixed folder under
// the user's temporary folder, which other users can neither read nor
// write. The stub tells the decryptor which, and the payload's name: its
// arguments are the archive's path, the folder and the payload's name.
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

// ---- The payload's name: one per run -------------------------------------
//
// The payload goes into the Windows folder's temp subfolder, or straight
// into the recipient's own folder (PayloadPath). Each run of the stub gives
// it a name of its own: kRunPayloadPrefix, kRunPayloadDigits upper-case
// hexadecimal digits and kRunPayloadSuffix ("Orx_Decrypt_0F3A9C21.tmp"),
// made with CREATE_NEW so that no other run's payload is ever replaced, and
// tells the decryptor (its third argument), which reads and removes that
// file and no other: two archives opened at once never read or delete each
// other's payload. The decryptor takes no other shape than this, and only
// in one of the two folders; one started without it uses the fixed name
// kPayloadName, as decryptors always have.
constexpr const wchar_t kRunPayloadPrefix[] = L"Orx_Decrypt_";
constexpr const wchar_t kRunPayloadSuffix[] = L".tmp";
constexpr int kRunPayloadDigits = 8;
constexpr int kRunPayloadUnits = 12 + kRunPayloadDigits + 4;  // without a terminator
constexpr const wchar_t kPayloadName[] = L"Orx_Decrypt.tmp";
static_assert(ARRAYSIZE(kRunPayloadPrefix) - 1 == 12 && ARRAYSIZE(kRunPayloadSuffix) - 1 == 4,
              "the parts make the name");

// The name of run `number`.
inline void RunPayloadName(DWORD number, wchar_t (&name)[kRunPayloadUnits + 1]) {
  orx::CopyWide(name, ARRAYSIZE(name), kRunPayloadPrefix);
  for (int i = 0; i < kRunPayloadDigits; ++i) {
    DWORD digit = number >> (4 * (kRunPayloadDigits - 1 - i)) & 0xF;
    name[12 + i] = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'A' + digit - 10);
  }
  name[12 + kRunPayloadDigits] = 0;
  orx::AppendWide(name, ARRAYSIZE(name), kRunPayloadSuffix);
}

// Whether `name` is exactly a run's payload name (a name alone: no folder,
// no stream, nothing before or after).
inline bool IsRunPayloadName(const wchar_t* name) {
  for (int i = 0; i < kRunPayloadUnits; ++i) {
    wchar_t c = name[i];
    bool fits = i < 12 ? c == kRunPayloadPrefix[i]
                : i < 12 + kRunPayloadDigits
                    ? (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')
                    : c == kRunPayloadSuffix[i - 12 - kRunPayloadDigits];
    if (!fits) return false;
  }
  return name[kRunPayloadUnits] == 0;
}

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

// The payload's path: the folder (the Windows folder's temp subfolder, or
// the recipient's own folder), a backslash and `name` (a run's, or
// kPayloadName).
inline bool PayloadPath(wchar_t (&path)[MAX_PATH], const wchar_t* folder, bool userFolder,
                        const wchar_t* name) {
  return JoinPath(path, folder, userFolder ? L"\\" : L"\\temp\\") &&
         orx::AppendWide(path, MAX_PATH, name);
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
