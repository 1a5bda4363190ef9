#include "decryption_flow.h"

#include <shellapi.h>
#include <string.h>

#include "handle_stream.h"
#include "orx/wide_text.h"
#include "progress_window.h"
#include "texts.h"

namespace orx {

namespace pl = orx::payload;

namespace {

constexpr wchar_t kOpenWithPrefix[] = L"shell32.dll,OpenAs_RunDLL ";
constexpr size_t kOpenWithUnits = 512;
// Explorer's: "/select," and the verified file's full path in quotes.
constexpr size_t kParameterUnits = MAX_PATH + 256 + 16;
constexpr UINT kTempNameAttempts = 64;

// True when the open file's own name (its long name) is `name`, letter
// case aside.
bool IsNamed(HANDLE file, const wchar_t* name) {
  static union {
    FILE_NAME_INFO info;
    unsigned char bytes[sizeof(FILE_NAME_INFO) + 2048 * sizeof(wchar_t)];
  } found;
  if (!GetFileInformationByHandleEx(file, FileNameInfo, &found, sizeof found)) return false;
  int units = static_cast<int>(found.info.FileNameLength / sizeof(wchar_t));
  int last = units;
  while (last > 0 && found.info.FileName[last - 1] != L'\\') --last;
  return CompareStringOrdinal(found.info.FileName + last, units - last, name, -1, TRUE) ==
         CSTR_EQUAL;
}

bool IsHiddenOrSystem(HANDLE file) {
  FILE_BASIC_INFO info;
  return !GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info) ||
         (info.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// Gives the open file `name` in its own folder (the name is a plain file
// name); an existing file of that name is replaced only when `replace`.
bool RenameOpenFile(const SystemCalls& calls, HANDLE file, const wchar_t* name, bool replace) {
  static union {
    FILE_RENAME_INFO info;
    unsigned char bytes[sizeof(FILE_RENAME_INFO) + 1024 * sizeof(wchar_t)];
  } rename;
  size_t units = WideLength(name);
  if (units >= 1024) return false;
  rename.info.ReplaceIfExists = replace;
  rename.info.RootDirectory = nullptr;
  rename.info.FileNameLength = static_cast<DWORD>(units * sizeof(wchar_t));
  memcpy(rename.info.FileName, name, (units + 1) * sizeof(wchar_t));
  return calls.setFileInformation(file, FileRenameInfo, &rename.info,
                                  static_cast<DWORD>(sizeof(FILE_RENAME_INFO) +
                                                     units * sizeof(wchar_t))) != 0;
}

// Whether the open file goes when its last handle does.
bool SetDeleteOnClose(const SystemCalls& calls, HANDLE file, BOOL remove) {
  FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(remove)};
  return calls.setFileInformation(file, FileDispositionInfo, &disposition,
                                  sizeof disposition) != 0;
}

// How each ending that shows one message shows it. The slot is the message
// text; the cleanup tool gets the unverified output too after a failure (it
// is already removed; the start is kept as the program always made it).
struct Ending {
  int message;  // a MessageSlot, or -1 for none
  UINT style;
  bool cleanupOutput;
};
const Ending kEndings[] = {
    /* kWrongPassword */ {kTextWrongPassword, MB_ICONWARNING, false},
    /* kFailure */ {kTextFailure, MB_ICONERROR, true},
    /* kOsError */ {kTextOsError, MB_ICONERROR, false},
    /* kNotReplaced */ {-1, 0, false},
    /* kCancelled */ {-1, 0, false},
};

// Starts `program` from the system's folder that `folder` names, by its full
// path (a bare name would be looked for in the current folder first, where a
// file that came with the download could stand in for it), with the
// parameters `before`, `file` and `after` when they fit in `units`.
void StartSystemProgram(const SystemCalls& calls, UINT(WINAPI* folder)(LPWSTR, UINT),
                        const wchar_t* program, const wchar_t* before, const wchar_t* file,
                        const wchar_t* after, size_t units) {
  wchar_t path[MAX_PATH];
  wchar_t parameters[kParameterUnits];
  parameters[0] = 0;
  UINT length = folder(path, MAX_PATH);
  if (length && length < MAX_PATH && AppendWide(path, MAX_PATH, program) &&
      AppendWide(parameters, units, before) && AppendWide(parameters, units, file) &&
      AppendWide(parameters, units, after)) {
    calls.shellExecute(nullptr, L"open", path, parameters, nullptr, SW_SHOWNORMAL);
  }
}

}  // namespace

int DecryptionFlow::Ask(int slot, UINT style, const wchar_t* name) {
  return prompt_.ask(prompt_.context, slot, style, name);
}

void DecryptionFlow::Run() {
  Outcome outcome = OpenPayload();
  {
    // The file key, from its unwrapping to the end of the decryption.
    Secret<pl::FileKey> key;
    if (outcome == kGoOn) outcome = Unlock(&key.value);
    if (outcome == kGoOn) outcome = AskBeforeReplacing();
    if (outcome == kGoOn) outcome = Decrypt(key.value);
  }
  if (outcome == kGoOn) outcome = PutInPlace();
  End(outcome);
}

// The payload file and its header: a truncated header, a signature of
// neither format, a name too long or not a plain file name, a format-1 key
// length other than 16, 24 or 32, a format-2 version, key derivation or
// cost it does not take, or a payload too short for what follows its
// cipher text is refused before anything else is done; a crafted cost
// thus never reaches the key derivation.
DecryptionFlow::Outcome DecryptionFlow::OpenPayload() {
  ArchiveFiles files;
  if (!calls_.locateArchiveFiles(launch_, &files)) return kOsError;
  memcpy(payloadPath_, files.payload, sizeof payloadPath_);
  // Deletion is let in: the program holds its run's payload for deletion
  // (decryptor_main.cpp); a writer is not.
  payload_.reset(calls_.createFile(payloadPath_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!payload_) return kOsError;
  pl::PayloadStream stream = PayloadStreamOverHandle(payload_.get());
  return pl::ReadPayloadHeader(&stream, &header_) == pl::kOk ? kGoOn : kOsError;
}

// Password bytes as the payload's format takes them: format 1 the low 8
// bits of each unit, with the text's length as the stated length, so that a
// text the bytes cannot stand for is refused by the key derivation; format
// 2 the UTF-8, refused for a text that is not well-formed. Either refusal
// is a processing failure, not a wrong password.
DecryptionFlow::Outcome DecryptionFlow::Unlock(pl::FileKey* key) {
  Secret<pl::PasswordBytes> bytes;
  int result = pl::PasswordBytesFor(header_.format, reinterpret_cast<const uint16_t*>(password_),
                                    WideLength(password_), &bytes.value);
  if (result == pl::kOk) {
    result = pl::UnlockPayload(header_, bytes.value.bytes, bytes.value.length, key);
  }
  if (result == pl::kWrongPassword) return kWrongPassword;
  return result == pl::kOk ? kGoOn : kOsError;
}

// An existing output file is replaced only when the user agrees. One that
// exists but cannot be read is not asked about, and is then not replaced
// either: putting the output in place fails instead. The question must name
// the file that Yes replaces: a stored name that is only the short alias
// of another file ("REPORT~1.PDF" for "Report for the board.pdf") is
// refused as unsafe, without asking; so is replacing a hidden or system
// file, which the recipient may not even see.
DecryptionFlow::Outcome DecryptionFlow::AskBeforeReplacing() {
  FileHandle existing(calls_.createFile(name(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!existing) return kGoOn;
  if (!IsNamed(existing.get(), name()) || IsHiddenOrSystem(existing.get())) return kOsError;
  existing.reset();
  if (Ask(kTextOverwrite, MB_ICONWARNING | MB_YESNO) == IDNO) return kNotReplaced;
  mayReplace_ = true;
  return kGoOn;
}

// Into a new temporary file beside the output, so that an existing file the
// user agreed to replace survives a failed decryption.
DecryptionFlow::Outcome DecryptionFlow::Decrypt(const pl::FileKey& key) {
  // A name of the usual "orxXXXX.tmp" form that nothing has yet: created in
  // the same call that finds it free.
  const DWORD seed = GetTickCount() ^ GetCurrentProcessId();
  for (UINT attempt = 0; attempt < kTempNameAttempts && !output_; ++attempt) {
    UINT unique = (seed + attempt) % 0xFFFF + 1;
    if (!calls_.getTempFileName(L".", L"orx", unique, tempPath_)) break;
    output_.reset(calls_.createFile(tempPath_, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output_ && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (!output_) {
    tempPath_[0] = 0;
    return kOsError;
  }
  // Deleted by the system when its last handle goes, however the decryptor
  // ends (a crash, Task Manager, a log-off): unverified plaintext never
  // outlives it. Cleared only for the verified file (PutInPlace). Where the
  // volume refuses, the cleanup tool is given the name at the end instead.
  orphanable_ = !SetDeleteOnClose(calls_, output_.get(), TRUE);
  // Unbuffered: a write the disk refuses fails the decryption itself. The
  // output goes through the progress window, which shows itself only for
  // long work and refuses further bytes once the recipient cancels; the
  // window is gone before any message of the ending shows.
  pl::PayloadStream in = PayloadStreamOverHandle(payload_.get());
  ProgressWindow progress(name(), LanguageForLangId(calls_.systemLangId()));
  pl::PayloadStream out =
      progress.Watch(PayloadStreamOverHandle(output_.get()), header_.cipherBytes);
  int result = pl::DecryptAndVerify(header_, key, &in, &out);
  if (progress.cancelled()) return kCancelled;  // silently, as the dialog's Cancel
  switch (result) {
    case pl::kOk: return kGoOn;
    case pl::kDigestMismatch:
    case pl::kTagMismatch:
    case pl::kPayloadDecryptFailed: return kFailure;
    // The output refused bytes, the payload could not be read, the stored
    // digest or tag is missing.
    default: return kOsError;
  }
}

// The verified file takes the output's place; if that fails, an existing
// file stays as it was. It then carries the archive's zone information, so
// that the system treats it as what came with the download.
DecryptionFlow::Outcome DecryptionFlow::PutInPlace() {
  payload_.reset();
  wchar_t tempFull[MAX_PATH + 16];
  DWORD full = calls_.getFullPathName(name(), ARRAYSIZE(outputPath_), outputPath_, nullptr);
  DWORD tempLength = calls_.getFullPathName(tempPath_, ARRAYSIZE(tempFull), tempFull, nullptr);
  if (full == 0 || full >= ARRAYSIZE(outputPath_) || tempLength == 0 ||
      tempLength >= ARRAYSIZE(tempFull)) {
    return kOsError;
  }
  // Kept from now on; a file to be deleted takes no stream and no name.
  if (!orphanable_ && !SetDeleteOnClose(calls_, output_.get(), FALSE)) return kOsError;
  // Marked before it takes its name: the stream moves with the file, so
  // the file is never under its name without it.
  marked_ = calls_.markWithArchiveZone(zone_, tempFull);
  if (!RenameOpenFile(calls_, output_.get(), name(), mayReplace_)) {
    calls_.removeZoneStream(tempFull);
    return kOsError;
  }
  output_.reset();
  tempPath_[0] = 0;
  // A volume that keeps streams apart from their file's name (Wine's, for
  // one) leaves the mark behind: then it goes on by the final name.
  if (!calls_.carriesArchiveZone(zone_, outputPath_)) {
    calls_.removeZoneStream(tempFull);
    marked_ = calls_.markWithArchiveZone(zone_, outputPath_) &&
              calls_.carriesArchiveZone(zone_, outputPath_);
  }
  return kDecrypted;
}

// Shows the verified file selected in its folder, by the shell: explorer.exe
// from the Windows folder. A new explorer.exe hands the request to the
// running shell, which acts with the desktop's own token.
void DecryptionFlow::ShowInFolder() {
  StartSystemProgram(calls_, GetWindowsDirectoryW, L"\\explorer.exe", L"/select,\"", outputPath_,
                     L"\"", kParameterUnits);
}

// Yes opens the file, except where that would be unsafe, and then shows it
// in its folder: a file from the internet that could not be marked so (a
// volume without streams, such as FAT), after saying why, so that Windows
// would not warn before it is opened; and a file the decryptor would open
// with an elevated token, which the same user's other programs could have
// swapped since it was verified, and whose program would run elevated.
void DecryptionFlow::OfferToOpen() {
  if (Ask(kTextDecrypted, MB_ICONWARNING | MB_YESNO, name()) != IDYES) return;
  if (!marked_) Ask(kTextNotMarked, MB_ICONWARNING);
  if (!marked_ || calls_.isElevated()) {
    ShowInFolder();
    return;
  }
  // By its full path: a bare name that no longer exists would be looked up
  // on the PATH and among the registered applications.
  HINSTANCE opened =
      calls_.shellExecute(nullptr, L"open", outputPath_, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(opened) != SE_ERR_NOASSOC) return;
  // No program for this type: offer the system's open-with choice, by
  // rundll32 from the system folder.
  StartSystemProgram(calls_, GetSystemDirectoryW, L"\\rundll32.exe", kOpenWithPrefix, outputPath_,
                     L"", kOpenWithUnits);
}

void DecryptionFlow::End(Outcome outcome) {
  // Files first: nothing unverified stays on disk while a message is shown.
  // The temporary output goes through its own handle, so that whatever
  // stands at its name by now is not what is removed.
  payload_.reset();
  bool hadOutput = tempPath_[0] != 0;
  if (output_) {
    SetDeleteOnClose(calls_, output_.get(), TRUE);
    output_.reset();
  }
  if (outcome == kDecrypted) {
    OfferToOpen();
    calls_.deleteFile(payloadPath_);
    calls_.launchCleanup(nullptr);
    return;
  }
  const Ending& ending = kEndings[outcome];
  if (ending.message >= 0) Ask(ending.message, ending.style);
  calls_.launchCleanup((ending.cleanupOutput || orphanable_) && hadOutput ? tempPath_ : nullptr);
}

}  // namespace orx
