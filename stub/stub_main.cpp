// The archive stub: the program at the head of every self-decrypting archive.
//
// It copies the cleanup tool (slot 1) to the Windows folder, the decryptor
// (slot 2) to the current folder and the payload (everything behind the
// slots) to the Windows folder's temp file, then starts the decryptor with
// its own path in double quotes and ends. It has no window and shows one
// message at most. Exit code 0 once the decryptor has been started, 1 after
// any failure; files completed before a failure stay.
//
// Each output is a new file of its own, never written through a link that
// someone planted at its path (see PlaceFile). Files of an earlier run that
// are still in use (a second start of the archive, a retry after a wrong
// password while the cleanup tool still runs) are kept when they already
// hold the right bytes and waited for a few seconds otherwise.
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

// How long a file of an earlier run that is in use is waited for: the
// cleanup tool keeps its program file busy for about 5.5 s.
constexpr DWORD kInUseWaitMs = 7000;
constexpr DWORD kRetryIntervalMs = 250;

// One copy buffer for all three copies, and one for comparing with a file
// already in place. Static, so that they cost no file space and need no
// stack probe.
unsigned char g_copyBuffer[0x10000];
unsigned char g_compareBuffer[0x10000];

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

// Bytes of the archive that one output file receives: `size` bytes from
// `offset`, or everything from `offset` to the end of the archive when
// `size` is kToEnd.
constexpr ULONGLONG kToEnd = ~0ULL;
struct Source {
  HANDLE archive;
  ULONGLONG offset;
  ULONGLONG size;
};

// Reads at an explicit position; the handle is synchronous.
bool ReadAt(HANDLE file, ULONGLONG offset, unsigned char* into, DWORD size, DWORD* got) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  *got = 0;
  if (ReadFile(file, into, size, got, &at)) return true;
  return GetLastError() == ERROR_HANDLE_EOF;  // at or past the end: nothing read
}

// Walks the source in chunks of at most kPayloadChunk bytes: a slot in one
// read, the payload until a read comes back short (possibly empty). `step`
// gets each chunk in g_copyBuffer and returns false to stop the walk.
enum class Walk { Done, ReadFailed, Stopped };
template <typename Step>
Walk WalkSource(const Source& source, Step step) {
  ULONGLONG position = source.offset;
  ULONGLONG left = source.size;
  for (;;) {
    DWORD want = left < archive::kPayloadChunk ? static_cast<DWORD>(left) : archive::kPayloadChunk;
    DWORD got = 0;
    if (!ReadAt(source.archive, position, g_copyBuffer, want, &got)) return Walk::ReadFailed;
    if (!step(got)) return Walk::Stopped;
    position += got;
    left -= got;
    if (got != want || left == 0) return Walk::Done;
  }
}

bool WriteAll(HANDLE file, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, g_copyBuffer, size, &written, nullptr) && written == size;
}

// True when `file` holds exactly the source's bytes.
bool HoldsSource(HANDLE file, const Source& source) {
  bool same = true;
  Walk walk = WalkSource(source, [&](DWORD got) {
    DWORD read = 0;
    if (got && (!ReadFile(file, g_compareBuffer, got, &read, nullptr) || read != got)) {
      return same = false;
    }
    for (DWORD i = 0; i < got; ++i) {
      if (g_compareBuffer[i] != g_copyBuffer[i]) return same = false;
    }
    return true;
  });
  DWORD extra = 0;
  return walk == Walk::Done && same && ReadFile(file, g_compareBuffer, 1, &extra, nullptr) &&
         extra == 0;
}

// What stands at an output path that could not be removed.
enum class Existing { Same, Different, Blocking };
Existing Inspect(const wchar_t* path, const Source& source) {
  // A folder (a junction included) does not go away by waiting.
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Existing::Blocking;
  }
  orx::FileHandle file(CreateFileW(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return Existing::Different;  // held without sharing: wait for it
  // Only a plain file of its own is taken as ours: a link (more than one
  // name, or a reparse point) is waited for and, if it stays, refused.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return Existing::Different;
  }
  return HoldsSource(file.get(), source) ? Existing::Same : Existing::Different;
}

// Puts the source's bytes at `path` as a new file of its own.
//
// Whatever is at the path is removed first and the file is then created
// with CREATE_NEW, which never opens an existing entry, and without
// following a reparse point: a hard link, symbolic link or junction planted
// at the path loses its name, never the bytes of the file it points to. If
// the name comes back between the two steps, both are retried.
//
// An entry that cannot be removed is in use, usually by an earlier run: the
// cleanup tool runs from its file for about 5.5 s, the decryptor from its
// own, and the decryptor reads the payload. If it already holds exactly the
// bytes this run would write, it is left as it is; otherwise it is retried
// for up to kInUseWaitMs before giving up.
enum class Placed { Ok, ReadFailed, Failed };
Placed PlaceFile(const wchar_t* path, const Source& source) {
  const DWORD start = GetTickCount();
  for (;;) {
    bool retry = false;
    BOOL deleted = DeleteFileW(path);
    DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
    if (deleted || error == ERROR_FILE_NOT_FOUND) {
      orx::FileHandle out(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
      if (out) {
        bool written = true;
        Walk walk = WalkSource(source, [&](DWORD got) { return written = WriteAll(out.get(), got); });
        if (walk == Walk::ReadFailed) return Placed::ReadFailed;
        return written ? Placed::Ok : Placed::Failed;
      }
      error = GetLastError();
      // The name is back (made again by someone else), or a deleted file
      // keeps it until its last handle is closed.
      retry = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
              (deleted && error == ERROR_ACCESS_DENIED);
    } else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      switch (Inspect(path, source)) {
        case Existing::Same: return Placed::Ok;
        case Existing::Different: retry = true; break;
        case Existing::Blocking: break;
      }
    }
    if (!retry || GetTickCount() - start >= kInUseWaitMs) return Placed::Failed;
    Sleep(kRetryIntervalMs);
  }
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

  // Slot 1, slot 2, then the payload; a failed read of a slot is the one
  // failure the recipient is told about.
  struct Output {
    const wchar_t* path;
    Source source;
  };
  const Output outputs[] = {
      {cleanupPath, {archiveFile.get(), archive::kCleanupOffset, archive::kCleanupSize}},
      {archive::kDecryptorName, {archiveFile.get(), archive::kDecryptorOffset, archive::kDecryptorSize}},
      {payloadPath, {archiveFile.get(), archive::kPayloadOffset, kToEnd}},
  };
  for (const Output& output : outputs) {
    switch (PlaceFile(output.path, output.source)) {
      case Placed::Ok: break;
      case Placed::ReadFailed:
        if (output.path != payloadPath) ShowReadFailure();
        return kExitFailed;
      case Placed::Failed: return kExitFailed;
    }
  }
  // Opened without sharing: closed before the decryptor runs.
  archiveFile.reset();

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
