// The archive stub: the program at the head of every self-decrypting archive.
//
// It copies the decryptor (slot 2) to the current folder, the cleanup tool
// (slot 1) and the payload (everything behind the slots) to their folder,
// then starts the decryptor with its own path in double quotes and ends.
// Exit code 0 once the decryptor has been started, 1 after any failure.
//
// Their folder is the Windows folder (the payload in its temp subfolder)
// where the recipient may create files there. A recipient without
// administrator rights may not, on every system with UAC, so the two then
// go into the recipient's own folder under the user's temporary folder, and
// the decryptor is told so by a second argument (orx/archive/folders.h).
//
// The recipient is never left with nothing happening: every failure shows
// one message box that names the file or folder and gives the system's own
// reason ("Read file fail!" for a slot that cannot be read), and a failure
// leaves no file of this run behind, half-written or not. The decryptor
// comes first, so that an archive opened where the recipient may not write
// is refused before anything is written anywhere.
//
// No output is ever written through a link that someone planted at its
// path, nor into a file that someone else owns. Files of an earlier run
// that are still in use (a second start of the archive, a retry after a
// wrong password while the cleanup tool still runs) are kept when they
// already hold the right bytes and waited for a few seconds otherwise
// (place_file.h). The decryptor is held, unwritable and unremovable, from
// the moment it is in place until it has been started.
//
// Built without the C runtime's start-up code so that it fits its slot.

#include <windows.h>
#include <shellapi.h>

#include <initializer_list>

#include "ownership.h"
#include "place_file.h"
#include "user_folder.h"
#include "orx/archive/folders.h"
#include "orx/archive/layout.h"
#include "orx/stack_guard.h"
#include "orx/system_dlls.h"
#include "orx/unique_handle.h"
#include "orx/wide_text.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// How long a file of an earlier run that is in use is waited for: the
// cleanup tool keeps its program file busy for about 5.5 s.
constexpr DWORD kInUseWaitMs = 7000;

constexpr wchar_t kCaption[] = L"Orvanta";
constexpr wchar_t kCannotRead[] = L"The archive cannot read this file:";
constexpr wchar_t kCannotWrite[] = L"The archive cannot write this file:";
constexpr wchar_t kCannotUseFolder[] = L"The archive cannot use this folder:";
constexpr wchar_t kCannotStart[] = L"The archive cannot start this program:";

// One copy buffer for all three copies, and one for comparing with a file
// already in place. Static, so that they cost no file space and need no
// stack probe.
unsigned char g_copyBuffer[0x10000];
unsigned char g_compareBuffer[0x10000];
wchar_t g_message[3 * MAX_PATH + 1024];

void ShowReadFailure() { MessageBoxA(nullptr, "Read file fail!", "Orvanta", MB_OK); }

// What could not be done, to which file or folder, and why in the system's
// words and language. Returns the exit code of a failed run.
int Refuse(const wchar_t* what, const wchar_t* path, DWORD error) {
  wchar_t reason[1024];
  if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                      0, reason, ARRAYSIZE(reason), nullptr)) {
    reason[0] = 0;
  }
  g_message[0] = 0;
  for (const wchar_t* part : {what, L"\n", path, L"\n\n", static_cast<const wchar_t*>(reason)}) {
    orx::AppendWide(g_message, ARRAYSIZE(g_message), part);
  }
  MessageBoxW(nullptr, g_message, kCaption, MB_OK | MB_ICONERROR);
  return kExitFailed;
}

bool Placed(const stub::Placement& placement) {
  return placement.how == stub::Placed::Written || placement.how == stub::Placed::Kept;
}

// Where this run puts the cleanup tool and the payload.
struct Companions {
  wchar_t folder[MAX_PATH];  // the user's own folder; empty for the Windows folder
  wchar_t cleanup[MAX_PATH];
  wchar_t payload[MAX_PATH];
};

class Stub {
 public:
  int Run();

 private:
  stub::Placement Place(const wchar_t* path, const stub::Source& source) {
    return stub::PlaceFile(path, source, {g_copyBuffer, g_compareBuffer},
                           {&sids_, &access_.attributes}, kInUseWaitMs);
  }
  // The cleanup tool, then the payload, at `at`; the first that fails.
  stub::Placement PlaceCompanions(const Companions& at, const wchar_t** failedPath);
  // Lets go of the decryptor and removes it when this run wrote it.
  void TakeBackDecryptor() {
    heldDecryptor_.reset();
    if (decryptorWritten_) DeleteFileW(decryptor_);
  }
  int Fail(const wchar_t* what, const wchar_t* path, DWORD error) {
    TakeBackDecryptor();
    return Refuse(what, path, error);
  }

  stub::TokenSids sids_;
  stub::PrivateAccess access_;
  orx::FileHandle archive_;
  stub::Source cleanupSlot_ = {}, decryptorSlot_ = {}, payload_ = {};
  wchar_t decryptor_[MAX_PATH] = {};
  bool decryptorWritten_ = false;
  // Held from the moment it is in place until it has been started: the
  // cleanup tool of an earlier run, which deletes the decryptor by name,
  // and anyone else who may write the folder can neither remove nor change
  // it while the payload is copied.
  orx::FileHandle heldDecryptor_;
};

stub::Placement Stub::PlaceCompanions(const Companions& at, const wchar_t** failedPath) {
  *failedPath = at.cleanup;
  stub::Placement placed = Place(at.cleanup, cleanupSlot_);
  if (!Placed(placed)) return placed;
  *failedPath = at.payload;
  return Place(at.payload, payload_);
}

int Stub::Run() {
  wchar_t ownPath[MAX_PATH] = {};
  DWORD ownLength = GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
  if (ownLength == 0 || ownLength >= MAX_PATH) {  // truncated path
    return Refuse(kCannotRead, ownPath, ERROR_FILENAME_EXCED_RANGE);
  }
  archive_.reset(CreateFileW(ownPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archive_) return Refuse(kCannotRead, ownPath, GetLastError());
  if (!stub::ReadTokenSids(&sids_) ||
      !stub::BuildPrivateAccess(sids_.user.User.Sid, /*withAdministrators=*/true, &access_)) {
    return Refuse(kCannotRead, ownPath, GetLastError());
  }

  // A truncated archive (a download cut short) would otherwise leave a
  // half decryptor behind and start it: refuse it before writing anything.
  LARGE_INTEGER archiveSize;
  if (!GetFileSizeEx(archive_.get(), &archiveSize) ||
      archiveSize.QuadPart < static_cast<LONGLONG>(archive::kPayloadOffset)) {
    ShowReadFailure();
    return kExitFailed;
  }
  cleanupSlot_ = {archive_.get(), archive::kCleanupOffset, archive::kCleanupSize};
  decryptorSlot_ = {archive_.get(), archive::kDecryptorOffset, archive::kDecryptorSize};
  payload_ = {archive_.get(), archive::kPayloadOffset, stub::kToEnd};

  // The decryptor, into the current folder (where the decrypted file will
  // land too), by its full path.
  wchar_t current[MAX_PATH] = {};
  DWORD currentLength = GetCurrentDirectoryW(MAX_PATH, current);
  if (currentLength == 0 || currentLength >= MAX_PATH ||
      !archive::JoinPath(decryptor_, current, archive::kDecryptorName)) {
    return Refuse(kCannotWrite, current, ERROR_FILENAME_EXCED_RANGE);
  }
  stub::Placement placed = Place(decryptor_, decryptorSlot_);
  if (placed.how == stub::Placed::ReadFailed) {
    ShowReadFailure();
    return kExitFailed;
  }
  if (!Placed(placed)) return Refuse(kCannotWrite, decryptor_, placed.error);
  decryptorWritten_ = placed.how == stub::Placed::Written;
  DWORD heldError = ERROR_SUCCESS;
  heldDecryptor_ = stub::HoldPlacedFile(decryptor_, decryptorSlot_,
                                        {g_copyBuffer, g_compareBuffer}, kInUseWaitMs, &heldError);
  if (!heldDecryptor_) return Fail(kCannotWrite, decryptor_, heldError);

  // The cleanup tool and the payload: the Windows folder where it takes
  // them, the recipient's own folder where this user may not write there.
  Companions at = {};
  wchar_t windows[MAX_PATH];
  if (!archive::WindowsFolder(windows) ||
      !archive::JoinPath(at.cleanup, windows, archive::kCleanupName) ||
      !archive::JoinPath(at.payload, windows, archive::kPayloadName)) {
    return Fail(kCannotUseFolder, windows, ERROR_FILENAME_EXCED_RANGE);
  }
  const wchar_t* failedPath = nullptr;
  placed = PlaceCompanions(at, &failedPath);
  orx::FileHandle userFolder;  // held, so that it cannot be swapped until the decryptor runs
  if (placed.how == stub::Placed::Denied) {
    if (!archive::UserFolder(at.folder)) return Fail(kCannotUseFolder, windows, ERROR_PATH_NOT_FOUND);
    DWORD error = ERROR_SUCCESS;
    userFolder = stub::PrepareUserFolder(at.folder, &error);
    if (!userFolder) return Fail(kCannotUseFolder, at.folder, error);
    if (!archive::JoinPath(at.cleanup, at.folder, archive::kCleanupName) ||
        !archive::JoinPath(at.payload, at.folder, archive::kUserPayloadName)) {
      return Fail(kCannotUseFolder, at.folder, ERROR_FILENAME_EXCED_RANGE);
    }
    placed = PlaceCompanions(at, &failedPath);
  }
  if (placed.how == stub::Placed::ReadFailed && failedPath == at.cleanup) {
    TakeBackDecryptor();
    ShowReadFailure();
    return kExitFailed;
  }
  if (!Placed(placed)) return Fail(kCannotWrite, failedPath, placed.error);
  // Opened without sharing: closed before the decryptor runs.
  archive_.reset();

  // "archive path" and, for the recipient's own folder, "folder".
  wchar_t arguments[2 * MAX_PATH + 8] = {};
  for (const wchar_t* part : {L"\"", static_cast<const wchar_t*>(ownPath), L"\""}) {
    orx::AppendWide(arguments, ARRAYSIZE(arguments), part);
  }
  if (at.folder[0]) {
    for (const wchar_t* part : {L" \"", static_cast<const wchar_t*>(at.folder), L"\""}) {
      orx::AppendWide(arguments, ARRAYSIZE(arguments), part);
    }
  }
  HINSTANCE started =
      ShellExecuteW(nullptr, L"open", decryptor_, arguments, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(started) <= 32) {
    DWORD error = GetLastError();
    return Fail(kCannotStart, decryptor_,
                error ? error : static_cast<DWORD>(reinterpret_cast<INT_PTR>(started)));
  }
  return kExitOk;
}

int RunStub() {
  Stub stub;
  return stub.Run();
}

}  // namespace

ORX_PROGRAM_ENTRY(StubEntry) {
  orx::InitStackGuard();
  // The archive runs from a download folder: no DLL may come from there.
  orx::RestrictDllSearchToSystemFolder();
  ExitProcess(static_cast<UINT>(RunStub()));
}
