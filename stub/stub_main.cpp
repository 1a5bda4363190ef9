// The archive stub: the program at the head of every self-decrypting archive.
//
// It copies the decryptor (slot 2) to the current folder, the cleanup tool
// (slot 1) and the payload (everything behind the slots) to their folder,
// then starts the decryptor with its own path, their folder and the
// payload's name and ends. Exit code 0 once the decryptor has been
// started, 1 after any failure.
//
// Their folder is the Windows folder (the payload in its temp subfolder)
// where the recipient may create files there. A recipient without
// administrator rights may not, on every system with UAC, and a Windows
// folder may lack its temp subfolder, so the two then go into the
// recipient's own folder under the user's temporary folder, and the
// decryptor is told so (orx/archive/folders.h). The payload gets a name of
// this run's own, so that two archives opened at once never share one.
//
// The recipient is never left with nothing happening: every failure shows
// one message box that names the file or folder and gives the system's own
// reason ("Read file fail!" for a slot that cannot be read), and a failure
// leaves no file of this run behind, half-written or not. The decryptor
// comes first, so that an archive opened where the recipient may not write
// is refused before anything is written anywhere. A payload that takes more
// than about a second to place shows a progress window whose Cancel (or
// Close) ends the run at once, with exit code 1, no message and nothing of
// the run left (progress_window.h). A second start of the archive while
// this run places its files places nothing: it brings this run's window to
// the front and ends (second_start.h).
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
#include "progress_window.h"
#include "run_files.h"
#include "second_start.h"
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

// How many names a run tries for its payload before it gives up: each one
// taken means another run's payload, or someone's file, stands there.
constexpr int kPayloadNameAttempts = 64;

// One copy buffer for all three copies, and one for comparing with a file
// already in place. Static, so that they cost no file space and need no
// stack probe; so are the files this run wrote.
unsigned char g_copyBuffer[0x10000];
unsigned char g_compareBuffer[0x10000];
wchar_t g_message[3 * MAX_PATH + 1024];
stub::RunFiles g_written;

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

// Where this run puts the cleanup tool and the payload, and the payload's
// name of this run (orx/archive/folders.h).
struct Companions {
  wchar_t folder[MAX_PATH];  // the Windows folder or the user's own folder
  bool userFolder;
  wchar_t cleanup[MAX_PATH];
  wchar_t payload[MAX_PATH];
  wchar_t payloadName[archive::kRunPayloadUnits + 1];
};

// A folder that refuses this user, or that is not there (no temp folder in
// the Windows folder): the companions go to the recipient's own folder.
bool FallsBack(const stub::Placement& placement) {
  return placement.how == stub::Placed::Denied ||
         (placement.how == stub::Placed::Failed && placement.error == ERROR_PATH_NOT_FOUND);
}

class Stub {
 public:
  int Run();

 private:
  // Places the source at `path` and remembers it when this run wrote it.
  stub::Placement Place(const wchar_t* path, const stub::Source& source) {
    stub::Placement placed = stub::PlaceFile(path, source, {g_copyBuffer, g_compareBuffer},
                                             {&sids_, &access_.attributes}, kInUseWaitMs);
    if (placed.how == stub::Placed::Written) g_written.Add(path);
    return placed;
  }
  // The payload under a name of this run's own in `at`'s folder.
  stub::Placement PlacePayload(Companions* at);
  // The cleanup tool, then the payload, in `at`'s folder; the first that
  // fails.
  stub::Placement PlaceCompanions(Companions* at, const wchar_t** failedPath);
  // A run that ends without starting the decryptor: the window and the
  // claim go first (a second start waiting for this run then ends too),
  // then every file this run wrote, once the decryptor is let go of.
  void TakeBack() {
    progress_.Close();
    claim_.Release();
    heldDecryptor_.reset();
    g_written.RemoveAll();
  }
  int Fail(const wchar_t* what, const wchar_t* path, DWORD error) {
    TakeBack();
    return Refuse(what, path, error);
  }
  int FailToRead() {
    TakeBack();
    ShowReadFailure();
    return kExitFailed;
  }
  // The recipient cancelled: nothing more to say.
  int Cancelled() {
    TakeBack();
    return kExitFailed;
  }

  stub::ArchiveClaim claim_;
  stub::ProgressWindow progress_;
  stub::TokenSids sids_;
  stub::PrivateAccess access_;
  orx::FileHandle archive_;
  stub::Source cleanupSlot_ = {}, decryptorSlot_ = {}, payload_ = {};
  wchar_t decryptor_[MAX_PATH] = {};
  // Held from the moment it is in place until it has been started: the
  // cleanup tool of an earlier run, which deletes the decryptor by name,
  // and anyone else who may write the folder can neither remove nor change
  // it while the payload is copied.
  orx::FileHandle heldDecryptor_;
};

stub::Placement Stub::PlacePayload(Companions* at) {
  // A number that another run started at another moment, or by another
  // process, is unlikely to have; a name taken is passed over.
  DWORD number = GetTickCount() ^ (GetCurrentProcessId() * 0x9E3779B1u);
  stub::Placement placed = {stub::Placed::Failed, ERROR_FILE_EXISTS};
  for (int attempt = 0; attempt < kPayloadNameAttempts && placed.error == ERROR_FILE_EXISTS;
       ++attempt, number += 0x6F4A7C15u) {
    archive::RunPayloadName(number, at->payloadName);
    if (!archive::PayloadPath(at->payload, at->folder, at->userFolder, at->payloadName)) {
      return {stub::Placed::Failed, ERROR_FILENAME_EXCED_RANGE};
    }
    placed = stub::PlaceNewFile(at->payload, payload_, {g_copyBuffer, g_compareBuffer},
                                {&sids_, &access_.attributes});
  }
  if (placed.how == stub::Placed::Written) g_written.Add(at->payload);
  return placed;
}

stub::Placement Stub::PlaceCompanions(Companions* at, const wchar_t** failedPath) {
  *failedPath = at->cleanup;
  if (!archive::JoinPath(at->cleanup, at->folder, archive::kCleanupName)) {
    return {stub::Placed::Failed, ERROR_FILENAME_EXCED_RANGE};
  }
  stub::Placement placed = Place(at->cleanup, cleanupSlot_);
  if (!Placed(placed)) return placed;
  *failedPath = at->payload;
  return PlacePayload(at);
}

int Stub::Run() {
  wchar_t ownPath[MAX_PATH] = {};
  DWORD ownLength = GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
  if (ownLength == 0 || ownLength >= MAX_PATH) {  // truncated path
    return Refuse(kCannotRead, ownPath, ERROR_FILENAME_EXCED_RANGE);
  }
  // No writer is let in while the archive is read; readers are: a second
  // start of the archive must be able to start, and to read which file it is.
  archive_.reset(CreateFileW(ownPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!archive_) return Refuse(kCannotRead, ownPath, GetLastError());
  if (!claim_.Take(archive_.get())) {
    claim_.HandOver();
    return kExitOk;
  }
  // An elevated run gives the user no entry: the same user's unelevated
  // programs may then not change what the elevated decryptor will start.
  if (!stub::ReadTokenSids(&sids_) ||
      !stub::BuildPrivateAccess(archive::IsElevated(sids_) ? nullptr : sids_.user.User.Sid,
                                /*withAdministrators=*/true, &access_)) {
    return Fail(kCannotRead, ownPath, GetLastError());
  }

  // A truncated archive (a download cut short) would otherwise leave a
  // half decryptor behind and start it: refuse it before writing anything.
  LARGE_INTEGER archiveSize;
  if (!GetFileSizeEx(archive_.get(), &archiveSize) ||
      archiveSize.QuadPart < static_cast<LONGLONG>(archive::kPayloadOffset)) {
    return FailToRead();
  }
  cleanupSlot_ = {archive_.get(), archive::kCleanupOffset, archive::kCleanupSize};
  decryptorSlot_ = {archive_.get(), archive::kDecryptorOffset, archive::kDecryptorSize};
  payload_ = {archive_.get(), archive::kPayloadOffset, stub::kToEnd, &progress_};
  progress_.Describe(ownPath, archiveSize.QuadPart - archive::kPayloadOffset, claim_.mark());

  // The decryptor, into the current folder (where the decrypted file will
  // land too), by its full path.
  wchar_t current[MAX_PATH] = {};
  DWORD currentLength = GetCurrentDirectoryW(MAX_PATH, current);
  if (currentLength == 0 || currentLength >= MAX_PATH ||
      !archive::JoinPath(decryptor_, current, archive::kDecryptorName)) {
    return Fail(kCannotWrite, current, ERROR_FILENAME_EXCED_RANGE);
  }
  stub::Placement placed = Place(decryptor_, decryptorSlot_);
  if (placed.how == stub::Placed::ReadFailed) return FailToRead();
  if (!Placed(placed)) return Fail(kCannotWrite, decryptor_, placed.error);
  DWORD heldError = ERROR_SUCCESS;
  heldDecryptor_ = stub::HoldPlacedFile(decryptor_, decryptorSlot_,
                                        {g_copyBuffer, g_compareBuffer}, kInUseWaitMs, &heldError);
  if (!heldDecryptor_) return Fail(kCannotWrite, decryptor_, heldError);

  // The cleanup tool and the payload: the Windows folder where it takes
  // them, the recipient's own folder where this user may not write there or
  // it has no temp folder.
  Companions at = {};
  if (!archive::WindowsFolder(at.folder)) {
    return Fail(kCannotUseFolder, at.folder, ERROR_FILENAME_EXCED_RANGE);
  }
  const wchar_t* failedPath = nullptr;
  placed = PlaceCompanions(&at, &failedPath);
  orx::FileHandle userFolder;  // held, so that it cannot be swapped until the decryptor runs
  if (FallsBack(placed)) {
    wchar_t windows[MAX_PATH];
    orx::CopyWide(windows, MAX_PATH, at.folder);
    at.userFolder = true;
    if (!archive::UserFolder(at.folder)) return Fail(kCannotUseFolder, windows, ERROR_PATH_NOT_FOUND);
    DWORD error = ERROR_SUCCESS;
    userFolder = stub::PrepareUserFolder(at.folder, &error);
    if (!userFolder) return Fail(kCannotUseFolder, at.folder, error);
    placed = PlaceCompanions(&at, &failedPath);
  }
  if (placed.how == stub::Placed::Cancelled) return Cancelled();
  if (placed.how == stub::Placed::ReadFailed && failedPath == at.cleanup) return FailToRead();
  if (!Placed(placed)) return Fail(kCannotWrite, failedPath, placed.error);
  // Opened without sharing: closed before the decryptor runs.
  archive_.reset();

  // "archive path" "folder" payload-name
  wchar_t arguments[2 * MAX_PATH + archive::kRunPayloadUnits + 16] = {};
  for (const wchar_t* part :
       {L"\"", static_cast<const wchar_t*>(ownPath), L"\" \"", static_cast<const wchar_t*>(at.folder),
        L"\" ", static_cast<const wchar_t*>(at.payloadName)}) {
    orx::AppendWide(arguments, ARRAYSIZE(arguments), part);
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
