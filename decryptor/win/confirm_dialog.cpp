#include "confirm_dialog.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "cleanup_launch.h"
#include "localized_texts.h"
#include "payload/payload_crypto.h"
#include "payload/payload_header.h"
#include "texts.h"

namespace orx {
namespace {

namespace pl = orx::payload;

constexpr wchar_t kCaption[] = L"Tavrel Orvanta Management";
constexpr char kPayloadName[] = "\\temp\\Orx_Decrypt.tmp";
constexpr wchar_t kOpenWithPrefix[] = L"shell32.dll,OpenAs_RunDLL ";
constexpr size_t kOpenWithUnits = 512;
constexpr size_t kTempPathUnits = MAX_PATH;

// SHA-1 of the decrypted bytes and a zero byte. Cleared at the start of
// every run, so that a decryption that never filled it cannot match.
unsigned char g_computedDigest[21];

// Wipes secrets and frees what the payload code returned.
void Discard(unsigned char* buffer, size_t size) {
  if (!buffer) return;
  SecureZeroMemory(buffer, size);
  pl::ReleaseBuffer(buffer);
}

// Files of one confirm run, closed on every way out. The temporary output
// is removed when the run ends without handing it on (put in place, or to
// the cleanup tool).
struct RunFiles {
  FILE* payload = nullptr;
  FILE* output = nullptr;
  wchar_t tempPath[kTempPathUnits] = {};
  bool removeTemp = false;

  void CloseOutput() {
    if (output) fclose(output);
    output = nullptr;
  }
  ~RunFiles() {
    if (payload) fclose(payload);
    CloseOutput();
    if (removeTemp) DeleteFileW(tempPath);
  }
};

size_t WideLength(const wchar_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

bool AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* tail) {
  size_t used = WideLength(buffer), add = WideLength(tail);
  if (used + add + 1 > capacity) return false;
  memcpy(buffer + used, tail, (add + 1) * sizeof(wchar_t));
  return true;
}

}  // namespace

int ConfirmDialog::ShowMessage(int number, UINT style) {
  const wchar_t* text = MessageTextW(m_nLanguage, number);
  // The stored name is at most 255 units (the plain-name rule), the longest
  // text a few hundred: this holds both.
  wchar_t composed[1024 + 512];
  composed[0] = 0;
  if (number == kTextDecrypted) AppendWide(composed, 1024 + 512, m_szFileName);
  AppendWide(composed, 1024 + 512, text);
  return MessageBoxW(m_hWnd, composed, kCaption, style);
}

void ConfirmDialog::OnOK() {
  // Takes the password box's text and ends the dialog, which hides it; a
  // refused value keeps the dialog open and nothing happens.
  if (!UpdateData(true)) return;
  EndDialog(m_hWnd, IDOK);
  Confirm();
  SecureZeroMemory(m_strPassword, sizeof(m_strPassword));
}

void ConfirmDialog::Confirm() {
  // Password bytes: the low 8 bits of each unit; the stated length is always
  // the text's length, so a text the bytes cannot stand for is refused by
  // the key derivation.
  unsigned char passwordBytes[pl::kPasswordBytesCapacity];
  size_t units = WideLength(m_strPassword);
  size_t statedLength = pl::PasswordBytesFromText(
      reinterpret_cast<const uint16_t*>(m_strPassword), units, passwordBytes);

  auto fail = [&](int number, UINT style, const wchar_t* extra = nullptr) {
    SecureZeroMemory(passwordBytes, sizeof(passwordBytes));
    ShowMessage(number, style);
    LaunchCleanup(extra);
  };

  RunFiles files;
  char payloadPath[520];
  UINT folder = GetWindowsDirectoryA(payloadPath, sizeof(payloadPath));
  if (folder == 0 || folder + sizeof(kPayloadName) > sizeof(payloadPath)) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  memcpy(payloadPath + folder, kPayloadName, sizeof(kPayloadName));
  g_computedDigest[0] = 0;
  files.payload = fopen(payloadPath, "rb");
  if (!files.payload) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }

  // The header, in order, refusing a malformed one (a truncated header, a
  // wrong signature, a name too long for its buffer or not a plain file
  // name, a key length other than 16, 24 or 32, a payload too short for
  // its trailing digest) before anything else is done.
  pl::PayloadStream payload = pl::PayloadStreamOverFile(files.payload);
  static pl::PayloadHeader header;
  if (pl::ReadPayloadHeader(&payload, &header) != pl::kOk) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  const int keyBytes = static_cast<int>(header.keyBytes);
  memcpy(m_szFileName, header.fileName, (header.nameUnits + 1) * sizeof(wchar_t));

  // The password key, the file key and the check of the file key.
  int error = 0;
  unsigned char* passwordKey =
      pl::DerivePasswordKey(passwordBytes, statedLength, keyBytes, &error);
  SecureZeroMemory(passwordBytes, sizeof(passwordBytes));
  if (!passwordKey) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  size_t fileKeyLength = 0;
  unsigned char* fileKey = pl::DecryptWithKey(header.wrappedKey, header.keyBytes, passwordKey,
                                              keyBytes, &fileKeyLength, pl::kModeCfb,
                                              pl::kIvText, &error);
  Discard(passwordKey, header.keyBytes + 32);
  if (!fileKey) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  const size_t fileKeyBytes = header.keyBytes + 33;
  unsigned char* check = pl::DigestBuffer(fileKey, header.keyBytes, "sha1");
  if (!check) {
    Discard(fileKey, fileKeyBytes);
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  bool rightPassword = memcmp(check, header.keyCheck, pl::kSha1Bytes) == 0;
  pl::ReleaseBuffer(check);
  if (!rightPassword) {
    Discard(fileKey, fileKeyBytes);
    fail(kTextWrongPassword, MB_ICONWARNING);
    return;
  }

  // An existing output file is replaced only when the user agrees. One
  // that exists but cannot be read is not asked about, and is then not
  // replaced either: putting the output in place fails instead.
  bool mayReplace = false;
  if (FILE* existing = _wfopen(m_szFileName, L"rb")) {
    fclose(existing);
    if (ShowMessage(kTextOverwrite, MB_ICONWARNING | MB_YESNO) == IDNO) {
      Discard(fileKey, fileKeyBytes);
      LaunchCleanup();
      return;
    }
    mayReplace = true;
  }

  // Decrypt into a new temporary file beside the output, so that an
  // existing file the user agreed to replace survives a failed decryption;
  // it takes the output's place only once its digest has matched.
  if (!GetTempFileNameW(L".", L"orx", 0, files.tempPath)) {
    Discard(fileKey, fileKeyBytes);
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  files.removeTemp = true;
  files.output = _wfopen(files.tempPath, L"wb");
  if (!files.output) {
    Discard(fileKey, fileKeyBytes);
    fail(kTextOsError, MB_ICONERROR);
    return;
  }

  char* cipherName = pl::MakeCipherName(pl::kModeCfb, keyBytes);
  pl::PayloadStream output = pl::PayloadStreamOverFile(files.output);
  int decrypted = pl::DecryptPayload(cipherName, fileKey, pl::kIvText, &payload,
                                     static_cast<uint64_t>(header.cipherBytes), &output,
                                     g_computedDigest);
  Discard(fileKey, fileKeyBytes);
  bool writeFailed = decrypted == pl::kOutputFailed || ferror(files.output) != 0;
  if (pl::ReleaseCipherName(cipherName) != pl::kOk || writeFailed) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }

  unsigned char storedDigest[pl::kSha1Bytes];
  if (fread(storedDigest, 1, sizeof(storedDigest), files.payload) != sizeof(storedDigest)) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  FILE* output_file = files.output;
  files.output = nullptr;
  if (fclose(output_file) != 0) {  // the last bytes may only be written now
    fail(kTextOsError, MB_ICONERROR);
    return;
  }

  // Any other failed decryption is a failure whatever the stored digest
  // says: a crafted one of twenty zero bytes would match the zeroed digest.
  if (decrypted != pl::kOk || memcmp(storedDigest, g_computedDigest, pl::kSha1Bytes) != 0) {
    fclose(files.payload);
    files.payload = nullptr;
    // The cleanup tool removes the bad output once this program has ended.
    files.removeTemp = false;
    fail(kTextFailure, MB_ICONERROR, files.tempPath);
    return;
  }
  fclose(files.payload);
  files.payload = nullptr;

  // The verified file takes the output's place; if that fails, an existing
  // file stays as it was.
  if (!MoveFileExW(files.tempPath, m_szFileName, mayReplace ? MOVEFILE_REPLACE_EXISTING : 0)) {
    fail(kTextOsError, MB_ICONERROR);
    return;
  }
  files.removeTemp = false;

  if (ShowMessage(kTextDecrypted, MB_ICONWARNING | MB_YESNO) == IDYES) {
    HINSTANCE opened =
        ShellExecuteW(nullptr, L"open", m_szFileName, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(opened) == SE_ERR_NOASSOC) {
      // No program for this type: offer the system's open-with choice.
      // rundll32 by its full path in the system folder: a bare name would
      // be searched for in the current folder first, where a file that came
      // with the download could stand in for it.
      wchar_t parameters[kOpenWithUnits] = {};
      wchar_t program[MAX_PATH] = {};
      UINT system = GetSystemDirectoryW(program, MAX_PATH);
      AppendWide(parameters, kOpenWithUnits, kOpenWithPrefix);
      if (system && system < MAX_PATH && AppendWide(program, MAX_PATH, L"\\rundll32.exe") &&
          AppendWide(parameters, kOpenWithUnits, m_szFileName)) {
        ShellExecuteW(nullptr, L"open", program, parameters, nullptr, SW_SHOWNORMAL);
      }
    }
  }
  DeleteFileA(payloadPath);
  LaunchCleanup();
}

}  // namespace orx
