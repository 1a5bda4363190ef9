// The archive stub: the program at the head of every self-decrypting archive.
//
// It copies the cleanup tool (slot 1) to the Windows folder, the decryptor
// (slot 2) to the current folder and the payload (everything behind the
// slots) to the Windows folder's temp file, then starts the decryptor with
// its own path in double quotes and ends. It has no window and shows one
// message at most. Exit code 0 once the decryptor has been started, 1 after
// any failure; files completed before a failure stay.
//
// No output is ever written through a link that someone planted at its
// path. Files of an earlier run that are still in use (a second start of
// the archive, a retry after a wrong password while the cleanup tool still
// runs) are kept when they already hold the right bytes and waited for a
// few seconds otherwise (place_file.h).
//
// Built without the C runtime's start-up code so that it fits its slot.

#include <windows.h>
#include <shellapi.h>

#include "archive_layout.h"
#include "place_file.h"
#include "orx/system_dlls.h"
#include "orx/unique_handle.h"
#include "orx/wide_text.h"

namespace {

constexpr DWORD kPathUnits = MAX_PATH;  // 260, terminator included
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// How long a file of an earlier run that is in use is waited for: the
// cleanup tool keeps its program file busy for about 5.5 s.
constexpr DWORD kInUseWaitMs = 7000;

// One copy buffer for all three copies, and one for comparing with a file
// already in place. Static, so that they cost no file space and need no
// stack probe.
unsigned char g_copyBuffer[0x10000];
unsigned char g_compareBuffer[0x10000];

void ShowReadFailure() { MessageBoxA(nullptr, "Read file fail!", "Orvanta", MB_OK); }

int RunStub() {
  wchar_t ownPath[kPathUnits] = {};
  wchar_t windowsFolder[kPathUnits] = {};
  DWORD ownLength = GetModuleFileNameW(nullptr, ownPath, kPathUnits);
  if (ownLength == 0 || ownLength >= kPathUnits) return kExitFailed;  // truncated path
  DWORD folderLength = GetWindowsDirectoryW(windowsFolder, kPathUnits);
  if (folderLength == 0 || folderLength >= kPathUnits) return kExitFailed;

  wchar_t cleanupPath[kPathUnits] = {};
  wchar_t payloadPath[kPathUnits] = {};
  if (!orx::AppendWide(cleanupPath, kPathUnits, windowsFolder) ||
      !orx::AppendWide(cleanupPath, kPathUnits, archive::kCleanupName) ||
      !orx::AppendWide(payloadPath, kPathUnits, windowsFolder) ||
      !orx::AppendWide(payloadPath, kPathUnits, archive::kPayloadName)) {
    return kExitFailed;
  }

  orx::FileHandle archiveFile(CreateFileW(ownPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archiveFile) return kExitFailed;

  // A truncated archive (a download cut short) would otherwise leave a
  // half decryptor behind and start it: refuse it before writing anything.
  LARGE_INTEGER archiveSize;
  if (!GetFileSizeEx(archiveFile.get(), &archiveSize) ||
      archiveSize.QuadPart < static_cast<LONGLONG>(archive::kPayloadOffset)) {
    ShowReadFailure();
    return kExitFailed;
  }

  // Slot 1, slot 2, then the payload; a failed read of a slot is the one
  // failure the recipient is told about.
  struct Output {
    const wchar_t* path;
    stub::Source source;
  };
  const Output outputs[] = {
      {cleanupPath, {archiveFile.get(), archive::kCleanupOffset, archive::kCleanupSize}},
      {archive::kDecryptorName,
       {archiveFile.get(), archive::kDecryptorOffset, archive::kDecryptorSize}},
      {payloadPath, {archiveFile.get(), archive::kPayloadOffset, stub::kToEnd}},
  };
  const stub::Buffers buffers = {g_copyBuffer, g_compareBuffer};
  for (const Output& output : outputs) {
    switch (stub::PlaceFile(output.path, output.source, buffers, kInUseWaitMs)) {
      case stub::Placed::Ok: break;
      case stub::Placed::ReadFailed:
        if (output.path != payloadPath) ShowReadFailure();
        return kExitFailed;
      case stub::Placed::Failed: return kExitFailed;
    }
  }
  // Opened without sharing: closed before the decryptor runs.
  archiveFile.reset();

  wchar_t arguments[kPathUnits + 2] = {};
  orx::AppendWide(arguments, kPathUnits + 2, L"\"");
  orx::AppendWide(arguments, kPathUnits + 2, ownPath);
  orx::AppendWide(arguments, kPathUnits + 2, L"\"");
  ShellExecuteW(nullptr, L"open", archive::kDecryptorName, arguments, nullptr, SW_SHOWNORMAL);
  return kExitOk;
}

}  // namespace

extern "C" void __stdcall StubEntry() {
  // The archive runs from a download folder: no DLL may come from there.
  orx::RestrictDllSearchToSystemFolder();
  ExitProcess(static_cast<UINT>(RunStub()));
}
