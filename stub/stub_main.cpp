// The archive stub: the program at the head of every self-decrypting archive.
//
// It copies the cleanup tool (slot 1) to the Windows folder, the decryptor
// (slot 2) to the current folder and the payload (everything behind the
// slots) to the Windows folder's temp file, then starts the decryptor with
// its own path in double quotes and ends. It has no window and shows one
// message at most. Exit code 0 once the decryptor has been started, 1 after
// any failure; files completed before a failure stay.
//
// Built without the C runtime's start-up code so that it fits its slot.

#include <windows.h>
#include <shellapi.h>

#include "archive_layout.h"
#include "orx/system_dlls.h"
#include "orx/unique_handle.h"

namespace {

constexpr DWORD kPathUnits = MAX_PATH;  // 260, terminator included
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// One copy buffer for all three copies. Static, so that it costs no file
// space and needs no stack probe.
unsigned char g_copyBuffer[0x10000];

// Appends `tail` to the text in `buffer` (capacity units, terminator
// included). Returns false, leaving the buffer terminated, if it does not fit.
bool Append(wchar_t* buffer, DWORD capacity, const wchar_t* tail) {
  DWORD used = 0;
  while (buffer[used]) ++used;
  for (DWORD i = 0;; ++i) {
    if (used + i >= capacity) {
      buffer[used] = 0;
      return false;
    }
    buffer[used + i] = tail[i];
    if (!tail[i]) return true;
  }
}

void ShowReadFailure() { MessageBoxA(nullptr, "Read file fail!", "Orvanta", MB_OK); }

HANDLE CreateOutput(const wchar_t* path) {
  return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool WriteAll(HANDLE file, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, g_copyBuffer, size, &written, nullptr) && written == size;
}

// Copies one slot of `size` bytes from the archive's current position (or
// from `offset`, when given) into a new file. A read that returns fewer
// bytes than the slot holds is not a failure: the bytes read are written.
enum class CopyResult { Ok, CreateFailed, ReadFailed, WriteFailed };
CopyResult CopySlot(HANDLE archive, const DWORD* offset, DWORD size, const wchar_t* target) {
  orx::FileHandle out(CreateOutput(target));
  if (!out) return CopyResult::CreateFailed;
  DWORD got = 0;
  BOOL read;
  if (offset) {
    // On a synchronous handle an explicit offset also moves the file
    // position, which the following reads rely on.
    OVERLAPPED at = {};
    at.Offset = *offset;
    read = ReadFile(archive, g_copyBuffer, size, &got, &at);
  } else {
    read = ReadFile(archive, g_copyBuffer, size, &got, nullptr);
  }
  if (!read) return CopyResult::ReadFailed;
  return WriteAll(out.get(), got) ? CopyResult::Ok : CopyResult::WriteFailed;
}

int RunStub() {
  wchar_t ownPath[kPathUnits] = {};
  wchar_t windowsFolder[kPathUnits] = {};
  DWORD ownLength = GetModuleFileNameW(nullptr, ownPath, kPathUnits);
  if (ownLength == 0 || ownLength >= kPathUnits) return kExitFailed;  // truncated path
  DWORD folderLength = GetWindowsDirectoryW(windowsFolder, kPathUnits);
  if (folderLength == 0 || folderLength >= kPathUnits) return kExitFailed;

  wchar_t cleanupPath[kPathUnits] = {};
  wchar_t payloadPath[kPathUnits] = {};
  if (!Append(cleanupPath, kPathUnits, windowsFolder) ||
      !Append(cleanupPath, kPathUnits, archive::kCleanupName) ||
      !Append(payloadPath, kPathUnits, windowsFolder) ||
      !Append(payloadPath, kPathUnits, archive::kPayloadName)) {
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

  const DWORD cleanupOffset = archive::kCleanupOffset;
  switch (CopySlot(archiveFile.get(), &cleanupOffset, archive::kCleanupSize, cleanupPath)) {
    case CopyResult::Ok: break;
    case CopyResult::ReadFailed: ShowReadFailure(); return kExitFailed;
    default: return kExitFailed;
  }
  switch (CopySlot(archiveFile.get(), nullptr, archive::kDecryptorSize, archive::kDecryptorName)) {
    case CopyResult::Ok: break;
    case CopyResult::ReadFailed: ShowReadFailure(); return kExitFailed;
    default: return kExitFailed;
  }

  orx::FileHandle payload(CreateOutput(payloadPath));
  if (!payload) return kExitFailed;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(archiveFile.get(), g_copyBuffer, archive::kPayloadChunk, &got, nullptr))
      return kExitFailed;
    // The last chunk is short (possibly empty); an empty write is made too.
    if (!WriteAll(payload.get(), got)) return kExitFailed;
    if (got != archive::kPayloadChunk) break;
  }
  // Both were opened without sharing: close them before the decryptor runs.
  archiveFile.reset();
  payload.reset();

  wchar_t arguments[kPathUnits + 2] = {};
  Append(arguments, kPathUnits + 2, L"\"");
  Append(arguments, kPathUnits + 2, ownPath);
  Append(arguments, kPathUnits + 2, L"\"");
  ShellExecuteW(nullptr, L"open", archive::kDecryptorName, arguments, nullptr, SW_SHOWNORMAL);
  return kExitOk;
}

}  // namespace

extern "C" void __stdcall StubEntry() {
  // The archive runs from a download folder: no DLL may come from there.
  orx::RestrictDllSearchToSystemFolder();
  ExitProcess(static_cast<UINT>(RunStub()));
}
