// Every ending of the decryption flow, without a window: the real flow over
// real files in a folder of its own, with a system-call table that makes
// one call fail or answer otherwise, and a prompt that records what the
// recipient is asked and answers it. Each row states what is asked (message
// slot and icon), what the cleanup tool is given, what is opened and which
// files are left.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decryption_flow.h"
#include "orxtest/driver.h"
#include "payload_builder.h"
#include "texts.h"
#include "orx/zone_record.h"

namespace orx {
namespace {

using payload::testing::Bytes;
using payload::testing::MakePayload;
using payload::testing::PayloadParts;

// The one call a row makes fail, or answer otherwise.
enum class Fail {
  kNothing,
  kLocate,           // the stub's files cannot be located
  kPayloadOpen,      // the payload cannot be opened
  kPayloadRead,      // the payload cannot be read
  kTempName,         // no temporary name
  kTempCreate,       // the temporary file cannot be created (access denied)
  kTempNamesTaken,   // every temporary name exists already
  kOutputWrite,      // the temporary file takes no bytes
  kPayloadCut,       // the payload loses its last bytes once its header was read
  kFullPath,         // no full path for the output
  kRename,           // the move to the final name fails
  kMark,             // the zone information cannot be written
  kMarkAfterMove,    // the moved file never carries it
  kNoDisposition,    // the volume takes no delete disposition
  kKeep,             // the temporary output's delete disposition cannot be cleared
  kElevated,         // the decryptor runs elevated
};

// The payload a row's archive holds.
enum class Payload {
  kGood,
  kEmpty,
  kBadSignature,
  kKeyLength20,
  kNameClimbsOut,      // "..\evil.txt"
  kNameReversesText,   // "inv" U+202E "fdp.exe", read as "invexe.pdf"
  kNoRoomForDigest,
  kCipherByteFlipped,
  kFormat2,             // the same content in format 2 (salted PBKDF2, tag)
  kFormat2TagFlipped,
  kFormat2AbsurdCost,   // a crafted cost of four billion iterations
};

// What stands at the stored name before the run.
enum class Existing {
  kNothing,
  kMine,            // a file of the recipient's
  kHidden,
  kSystem,
  kAliasTarget,     // a long-named file whose short alias is the stored name
  kHeldUnreadable,  // held open without sharing
  kHeldUndeletable, // held open, readable, without delete sharing
};

enum class Opened { kNothing, kTheFile, kOpenWithChoice, kItsFolder };
enum class Output { kNone, kDecrypted, kMine };

constexpr UINT kQuestion = MB_ICONWARNING | MB_YESNO;
constexpr UINT kWarning = MB_ICONWARNING;
constexpr UINT kError = MB_ICONERROR;

struct Asked {
  int slot;
  UINT style;
  bool named;  // the stored name stands before the text
  bool operator==(const Asked& o) const {
    return slot == o.slot && style == o.style && named == o.named;
  }
};

struct Row {
  const char* what;
  Payload payload;
  Existing existing;
  Fail fail;
  int overwriteAnswer;  // to the question before replacing
  int openAnswer;       // to the question after decrypting
  const wchar_t* typed; // the password typed; null: the right one
  std::vector<Asked> asked;
  bool cleanupGetsOutput;  // the cleanup tool is also given the temporary output's name
  Opened opened;
  Output output;
  bool payloadKept;
  bool noProgramForType = false;
  int cut = 0;  // bytes the payload loses with Fail::kPayloadCut
};

const Asked kDecrypted = {kTextDecrypted, kQuestion, true};
const Asked kOverwrite = {kTextOverwrite, kQuestion, false};
const Asked kOsError = {kTextOsError, kError, false};
const Asked kFailure = {kTextFailure, kError, false};
const Asked kWrongPassword = {kTextWrongPassword, kWarning, false};
const Asked kNotMarked = {kTextNotMarked, kWarning, false};

// clang-format off
const Row kRows[] = {
  // Decrypted and verified.
  {"Yes opens the file by its full path", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, nullptr, {kDecrypted}, false, Opened::kTheFile, Output::kDecrypted, false},
  {"No leaves it unopened", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDNO, nullptr, {kDecrypted}, false, Opened::kNothing, Output::kDecrypted, false},
  {"no program for the type: the open-with choice", Payload::kGood, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, nullptr, {kDecrypted}, false, Opened::kOpenWithChoice,
   Output::kDecrypted, false, true},
  // Yes is never ignored: a file that cannot carry the mark is not opened,
  // the recipient is told so and it is shown in its folder; so is every
  // file an elevated decryptor would open.
  {"a file that cannot take the zone mark is shown in its folder", Payload::kGood,
   Existing::kNothing, Fail::kMark, IDYES, IDYES, nullptr, {kDecrypted, kNotMarked}, false,
   Opened::kItsFolder, Output::kDecrypted, false},
  {"a file that loses the mark in the move is shown in its folder", Payload::kGood,
   Existing::kNothing, Fail::kMarkAfterMove, IDYES, IDYES, nullptr, {kDecrypted, kNotMarked},
   false, Opened::kItsFolder, Output::kDecrypted, false},
  {"No to an unmarked file shows nothing", Payload::kGood, Existing::kNothing, Fail::kMark,
   IDYES, IDNO, nullptr, {kDecrypted}, false, Opened::kNothing, Output::kDecrypted, false},
  {"an elevated decryptor shows the file in its folder", Payload::kGood, Existing::kNothing,
   Fail::kElevated, IDYES, IDYES, nullptr, {kDecrypted}, false, Opened::kItsFolder,
   Output::kDecrypted, false},
  {"an existing file replaced at the recipient's word", Payload::kGood, Existing::kMine,
   Fail::kNothing, IDYES, IDNO, nullptr, {kOverwrite, kDecrypted}, false, Opened::kNothing,
   Output::kDecrypted, false},
  {"254 characters are a password", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDNO, L"#254", {kDecrypted}, false, Opened::kNothing, Output::kDecrypted, false},

  // The recipient keeps an existing file.
  {"No keeps an existing file", Payload::kGood, Existing::kMine, Fail::kNothing,
   IDNO, IDNO, nullptr, {kOverwrite}, false, Opened::kNothing, Output::kMine, true},

  // The password.
  {"a wrong password", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, L"wrong", {kWrongPassword}, false, Opened::kNothing, Output::kNone, true},
  {"255 characters give no password bytes", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, L"#255", {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"a character whose low byte is zero", Payload::kGood, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, L"ab\u0100cd", {kOsError}, false, Opened::kNothing, Output::kNone, true},

  // The payload and its header.
  {"the stub's files cannot be located", Payload::kGood, Existing::kNothing, Fail::kLocate,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"the payload cannot be opened", Payload::kGood, Existing::kNothing, Fail::kPayloadOpen,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"the payload cannot be read", Payload::kGood, Existing::kNothing, Fail::kPayloadRead,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"an empty payload", Payload::kEmpty, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"a wrong signature", Payload::kBadSignature, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"a key of 20 bytes", Payload::kKeyLength20, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"a stored name that climbs out of the folder", Payload::kNameClimbsOut, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone,
   true},
  {"a stored name that reverses its text", Payload::kNameReversesText, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone,
   true},
  {"no room for the stored digest", Payload::kNoRoomForDigest, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone,
   true},

  // What the question before replacing could not show is never replaced;
  // what cannot be read or replaced is kept.
  {"the short alias of a long-named file", Payload::kGood, Existing::kAliasTarget,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kMine,
   true},
  {"a hidden file", Payload::kGood, Existing::kHidden, Fail::kNothing,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kMine, true},
  {"a system file", Payload::kGood, Existing::kSystem, Fail::kNothing,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kMine, true},
  {"an existing file that cannot be read is not asked about", Payload::kGood,
   Existing::kHeldUnreadable, Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false,
   Opened::kNothing, Output::kMine, true},
  {"an existing file that cannot be replaced is kept", Payload::kGood, Existing::kHeldUndeletable,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOverwrite, kOsError}, false, Opened::kNothing,
   Output::kMine, true},

  // The temporary output.
  {"no temporary name", Payload::kGood, Existing::kNothing, Fail::kTempName,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"the temporary file cannot be created", Payload::kGood, Existing::kNothing, Fail::kTempCreate,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"every temporary name is taken", Payload::kGood, Existing::kNothing, Fail::kTempNamesTaken,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"the temporary file takes no bytes", Payload::kGood, Existing::kMine, Fail::kOutputWrite,
   IDYES, IDYES, nullptr, {kOverwrite, kOsError}, false, Opened::kNothing, Output::kMine, true},

  // The decryption and its digest.
  {"a flipped cipher byte fails the digest", Payload::kCipherByteFlipped, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, nullptr, {kFailure}, true, Opened::kNothing, Output::kNone,
   true},
  {"a failed digest keeps the file agreed to be replaced", Payload::kCipherByteFlipped,
   Existing::kMine, Fail::kNothing, IDYES, IDYES, nullptr, {kOverwrite, kFailure}, true,
   Opened::kNothing, Output::kMine, true},
  {"the cipher text ends early", Payload::kGood, Existing::kNothing, Fail::kPayloadCut,
   IDYES, IDYES, nullptr, {kFailure}, true, Opened::kNothing, Output::kNone, true, false, 100},
  {"the stored digest is cut short", Payload::kGood, Existing::kNothing, Fail::kPayloadCut,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true, false, 10},

  // Format 2 ends as format 1 does: its tag as the digest.
  {"format 2 decrypted and verified", Payload::kFormat2, Existing::kNothing, Fail::kNothing,
   IDYES, IDNO, nullptr, {kDecrypted}, false, Opened::kNothing, Output::kDecrypted, false},
  {"format 2 with a wrong password", Payload::kFormat2, Existing::kNothing, Fail::kNothing,
   IDYES, IDYES, L"Pw", {kWrongPassword}, false, Opened::kNothing, Output::kNone, true},
  {"format 2 with a flipped tag byte", Payload::kFormat2TagFlipped, Existing::kMine,
   Fail::kNothing, IDYES, IDYES, nullptr, {kOverwrite, kFailure}, true, Opened::kNothing,
   Output::kMine, true},
  {"format 2 asking for four billion iterations", Payload::kFormat2AbsurdCost,
   Existing::kNothing, Fail::kNothing, IDYES, IDYES, nullptr, {kOsError}, false,
   Opened::kNothing, Output::kNone, true},
  {"format 2 with an unpaired surrogate typed", Payload::kFormat2, Existing::kNothing,
   Fail::kNothing, IDYES, IDYES, L"p\xD800w", {kOsError}, false, Opened::kNothing,
   Output::kNone, true},

  // Putting the verified file in place.
  {"no full path for the output", Payload::kGood, Existing::kNothing, Fail::kFullPath,
   IDYES, IDYES, nullptr, {kOsError}, false, Opened::kNothing, Output::kNone, true},
  {"the move to the final name fails", Payload::kGood, Existing::kMine, Fail::kRename,
   IDYES, IDYES, nullptr, {kOverwrite, kOsError}, false, Opened::kNothing, Output::kMine, true},
  // The unverified output goes when the decryptor does, however it ends;
  // only the verified file is kept.
  {"the verified file cannot be kept", Payload::kGood, Existing::kMine, Fail::kKeep,
   IDYES, IDYES, nullptr, {kOverwrite, kOsError}, false, Opened::kNothing, Output::kMine, true},
  {"a volume without delete disposition still decrypts", Payload::kGood,
   Existing::kNothing, Fail::kNoDisposition, IDYES, IDNO, nullptr, {kDecrypted}, false,
   Opened::kNothing, Output::kDecrypted, false},
};
// clang-format on

void PrintTo(const Row& row, std::ostream* out) { *out << row.what; }

// What the fakes answer and what they saw, for the row being run.
struct World {
  const Row* row = nullptr;
  std::wstring folder, payload;
  std::vector<Asked> asked;
  std::vector<std::wstring> cleanups;  // the extra path of each start, "" for none
  std::vector<std::wstring> starts;    // each shell start: file, then parameters
  int dispositions = 0;
} g;

bool Failing(Fail f) { return g.row->fail == f; }

bool Locate(const Launch&, ArchiveFiles* files) {
  if (Failing(Fail::kLocate)) return false;
  lstrcpynW(files->payload, g.payload.c_str(), MAX_PATH);
  lstrcpynW(files->cleanupTool, (g.folder + L"\\cleanup.exe").c_str(), MAX_PATH);
  return true;
}

HANDLE WINAPI CreateFileFake(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                             DWORD disposition, DWORD flags, HANDLE templateFile) {
  bool payload = g.payload == name;
  if ((payload && Failing(Fail::kPayloadOpen)) ||
      (disposition == CREATE_NEW && Failing(Fail::kTempCreate))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == CREATE_NEW && Failing(Fail::kTempNamesTaken)) {
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  if (disposition == CREATE_NEW && Failing(Fail::kOutputWrite)) access = GENERIC_READ | DELETE;
  if (payload && Failing(Fail::kPayloadCut)) share |= FILE_SHARE_WRITE;
  // A folder's handle: open, but every read of it fails.
  if (payload && Failing(Fail::kPayloadRead)) {
    return CreateFileW(g.folder.c_str(), access, share | FILE_SHARE_WRITE, sa, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }
  return CreateFileW(name, access, share, sa, disposition, flags, templateFile);
}

// Asked for once the header has been read: where a payload cut short
// loses its end.
UINT WINAPI GetTempFileNameFake(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR name) {
  if (Failing(Fail::kTempName)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  if (Failing(Fail::kPayloadCut)) {
    HANDLE file = CreateFileW(g.payload.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER cut = {};
    cut.QuadPart = -g.row->cut;
    EXPECT_TRUE(SetFilePointerEx(file, cut, nullptr, FILE_END) && SetEndOfFile(file));
    CloseHandle(file);
  }
  return GetTempFileNameW(folder, prefix, unique, name);
}

DWORD WINAPI GetFullPathNameFake(LPCWSTR name, DWORD units, LPWSTR buffer, LPWSTR* part) {
  if (Failing(Fail::kFullPath)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }
  return GetFullPathNameW(name, units, buffer, part);
}

BOOL WINAPI SetFileInformationFake(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                   DWORD size) {
  if (kind == FileRenameInfo && Failing(Fail::kRename)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (kind == FileDispositionInfo) {
    bool remove = static_cast<FILE_DISPOSITION_INFO*>(info)->DeleteFile;
    if (remove && Failing(Fail::kNoDisposition) && g.dispositions++ == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (!remove && Failing(Fail::kKeep)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  return SetFileInformationByHandle(file, kind, info, size);
}

HINSTANCE WINAPI ShellExecuteFake(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR,
                                  INT show) {
  EXPECT_STREQ(verb, L"open");
  EXPECT_EQ(show, SW_SHOWNORMAL);
  g.starts.push_back(file);
  g.starts.push_back(parameters ? parameters : L"");
  bool first = g.starts.size() == 2;
  return reinterpret_cast<HINSTANCE>(first && g.row->noProgramForType ? SE_ERR_NOASSOC : 42);
}

LANGID WINAPI English() { return 0x0409; }

void LaunchCleanupFake(const wchar_t* extraPath) {
  g.cleanups.push_back(extraPath ? extraPath : L"");
}

bool MarkFake(const ZoneRecord& zone, const wchar_t* file) {
  return !Failing(Fail::kMark) && WriteZoneRecord(zone, file);
}

bool CarriesFake(const ZoneRecord& zone, const wchar_t* file) {
  return !Failing(Fail::kMarkAfterMove) && CarriesZoneRecord(zone, file);
}

bool ElevatedFake() { return Failing(Fail::kElevated); }

const SystemCalls kFakes = {
    CreateFileFake,     GetFullPathNameFake, GetTempFileNameFake, SetFileInformationFake,
    DeleteFileW,        ShellExecuteFake,    English,             Locate,
    LaunchCleanupFake,  MarkFake,            CarriesFake,         RemoveZoneRecord,
    ElevatedFake,
};

int Answer(void*, int slot, UINT style, const wchar_t* name) {
  g.asked.push_back({slot, style, name != nullptr});
  // Nothing unverified is on disk while the recipient reads a message.
  for (const std::wstring& file : orxtest::FileNames(g.folder)) {
    EXPECT_NE(file.rfind(L"orx", 0), 0u) << orxtest::WideToUtf8(file) << " while asking";
  }
  if (name) {
    EXPECT_STREQ(name, L"plan.bin");
  }
  if (slot == kTextOverwrite) return g.row->overwriteAnswer;
  return slot == kTextDecrypted ? g.row->openAnswer : IDOK;
}

Bytes Content() {
  Bytes content(5000);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 31 + 7);
  return content;
}

std::wstring Typed(const Row& row) {
  if (!row.typed) return L"pw";
  if (row.typed[0] == L'#') return std::wstring(_wtoi(row.typed + 1), L'k');
  return row.typed;
}

Bytes PayloadFor(const Row& row, const std::u16string& name) {
  if (row.payload == Payload::kFormat2 || row.payload == Payload::kFormat2TagFlipped ||
      row.payload == Payload::kFormat2AbsurdCost) {
    Bytes bytes = payload::testing::MakePayload2(name, u"pw", Content());
    if (row.payload == Payload::kFormat2TagFlipped) bytes.back() ^= 0x01;
    if (row.payload == Payload::kFormat2AbsurdCost) {
      payload::testing::SetUint32(bytes, 12, 4000000000u);
    }
    return bytes;
  }
  // Packed with the password the row types when that one is meant to work.
  std::string password = row.typed && wcscmp(row.typed, L"#254") == 0 ? std::string(254, 'k') : "pw";
  PayloadParts parts = MakePayload(name, password, 32, Content());
  switch (row.payload) {
    case Payload::kGood: break;
    case Payload::kEmpty: return {};
    case Payload::kBadSignature: parts.signature ^= 0x100; break;
    case Payload::kKeyLength20: parts.keyBytes = 20; break;
    case Payload::kNameClimbsOut: parts.name = payload::testing::Utf16Le(u"..\\evil.txt"); break;
    case Payload::kNameReversesText:
      parts.name = payload::testing::Utf16Le(u"inv\u202Efdp.exe");
      break;
    case Payload::kNoRoomForDigest:  // fewer bytes behind the name and keys than the trailer's
      parts.cipherText.clear();
      parts.plainDigest.resize(10);
      break;
    case Payload::kCipherByteFlipped: parts.cipherText[2500] ^= 0x5A; break;
    default: break;
  }
  return parts.Serialize();
}

class DecryptionFlowTest : public ::testing::TestWithParam<Row> {};

TEST_P(DecryptionFlowTest, EndsAsTheRowSays) {
  const Row& row = GetParam();
  g = World();
  g.row = &row;
  wchar_t temp[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  std::wstring root = std::wstring(temp) + L"orx-flow";
  CreateDirectoryW(root.c_str(), nullptr);
  g.folder = root + L"\\folder";
  orxtest::RemoveTree(g.folder);
  ASSERT_TRUE(CreateDirectoryW(g.folder.c_str(), nullptr));
  DeleteFileW((root + L"\\evil.txt").c_str());
  g.payload = g.folder + L"\\payload.bin";

  // What stands at the stored name, and the stored name itself.
  const Bytes mine(600, 0x6D);
  std::wstring existing = g.folder + L"\\plan.bin";
  std::wstring stored = L"plan.bin";
  if (row.existing == Existing::kAliasTarget) existing = g.folder + L"\\Report for the board.pdf";
  if (row.existing != Existing::kNothing) {
    ASSERT_TRUE(orxtest::WriteBytes(existing, mine.data(), mine.size()));
  }
  if (row.existing == Existing::kAliasTarget) {
    wchar_t alias[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(existing.c_str(), alias, MAX_PATH), 0u);
    stored = wcsrchr(alias, L'\\') + 1;
    ASSERT_NE(stored, L"Report for the board.pdf") << "no short alias to test";
  }
  DWORD attributes = row.existing == Existing::kHidden   ? FILE_ATTRIBUTE_HIDDEN
                     : row.existing == Existing::kSystem ? FILE_ATTRIBUTE_SYSTEM
                                                         : 0;
  if (attributes) {
    ASSERT_TRUE(SetFileAttributesW(existing.c_str(), attributes));
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  if (row.existing == Existing::kHeldUnreadable || row.existing == Existing::kHeldUndeletable) {
    DWORD share = row.existing == Existing::kHeldUnreadable ? 0 : FILE_SHARE_READ;
    held = CreateFileW(existing.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
  }
  Bytes payload = PayloadFor(row, std::u16string(stored.begin(), stored.end()));
  ASSERT_TRUE(orxtest::WriteBytes(g.payload, payload.data(), payload.size()));

  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(g.folder.c_str()));
  std::wstring password = Typed(row);
  const Prompt prompt = {&Answer, nullptr};
  static const ZoneRecord kNoZone = {};  // a local archive's: none
  DecryptionFlow(password.c_str(), prompt, kFakes, Launch(), kNoZone).Run();
  SetCurrentDirectoryW(before);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (attributes) SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_NORMAL);

  // What was asked, in order.
  EXPECT_EQ(g.asked, row.asked);
  // One cleanup start, given the unverified output's (by then removed) name
  // after a failed digest or decryption.
  ASSERT_EQ(g.cleanups.size(), 1u);
  if (row.cleanupGetsOutput) {
    const std::wstring& extra = g.cleanups[0];
    EXPECT_TRUE(extra.rfind(L".\\orx", 0) == 0 && extra.size() > 9 &&
                extra.compare(extra.size() - 4, 4, L".tmp") == 0)
        << orxtest::WideToUtf8(extra);
  } else {
    EXPECT_EQ(g.cleanups[0], L"");
  }
  // What was opened.
  std::wstring output = g.folder + L"\\plan.bin";
  std::vector<std::wstring> starts;
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  if (row.opened != Opened::kNothing) starts = {output, L""};
  if (row.opened == Opened::kItsFolder) {
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    starts = {std::wstring(windows) + L"\\explorer.exe", L"/select,\"" + output + L"\""};
  }
  if (row.opened == Opened::kOpenWithChoice) {
    starts.insert(starts.end(), {std::wstring(system) + L"\\rundll32.exe",
                                 L"shell32.dll,OpenAs_RunDLL " + output});
  }
  EXPECT_EQ(g.starts, starts);
  // The files left: the output (or the recipient's own file), the payload
  // unless the file was decrypted, and nothing else; nothing outside.
  std::vector<std::wstring> left;
  if (row.payloadKept) left.push_back(L"payload.bin");
  if (row.output != Output::kNone) left.push_back(existing.substr(g.folder.size() + 1));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(orxtest::FileNames(g.folder), left);
  EXPECT_FALSE(orxtest::FileExists(root + L"\\evil.txt"));
  if (row.output == Output::kDecrypted) {
    EXPECT_EQ(orxtest::ReadBytes(output), Content());
  } else if (row.output == Output::kMine) {
    EXPECT_EQ(orxtest::ReadBytes(existing), mine);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DecryptionFlowTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* c = info.param.what; *c; ++c) {
                             if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                           }
                           return name;
                         });

}  // namespace
}  // namespace orx
