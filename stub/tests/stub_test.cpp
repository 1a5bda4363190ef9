// The archive stub, run for real under Wine: archives are built with the
// orx tool around the real cleanup tool (slot 1) and the recorder program
// (slot 2, standing in for the decryptor, so that its start can be seen).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orxtest/driver.h"

#include <tlhelp32.h>

namespace {

constexpr size_t kPayloadOffset = 78336;
constexpr size_t kCleanupOffset = 24576, kCleanupSize = 12288;
constexpr size_t kDecryptorOffset = 36864, kDecryptorSize = 41472;

using Bytes = std::vector<unsigned char>;

std::wstring Bin(const wchar_t* name) { return orxtest::ModuleFolder() + L"\\" + name; }
std::wstring CleanupPath() { return orxtest::WindowsFolder() + L"\\Orx_DelTool.exe"; }
std::wstring TempFolder() { return orxtest::WindowsFolder() + L"\\temp"; }
// Each run gives its payload a name of its own: "Orx_Decrypt_<8 hex digits>.tmp".
std::vector<std::wstring> RunPayloads(const std::wstring& folder = TempFolder()) {
  std::vector<std::wstring> paths;
  for (const std::wstring& name : orxtest::FileNames(folder, L"Orx_Decrypt_*.tmp")) {
    paths.push_back(folder + L"\\" + name);
  }
  return paths;
}
std::wstring UserFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp) + L"Orx_Decrypt";
}

Bytes Pattern(size_t size, unsigned seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>((i * 131 + seed) >> 3);
  return b;
}

Bytes Slice(const Bytes& b, size_t from, size_t size) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + size));
}

// Running processes whose program file has this name.
int CountProcesses(const wchar_t* exeName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (lstrcmpiW(entry.szExeFile, exeName) == 0) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

class StubTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = L"C:\\orx-tests\\stub";
    CreateDirectoryW(L"C:\\orx-tests", nullptr);
    CreateDirectoryW(root_.c_str(), nullptr);
    log_ = root_ + L"\\started.log";
    DeleteFileW(log_.c_str());
    SetEnvironmentVariableW(L"ORX_RECORDER_LOG", log_.c_str());
    DeleteFileW(CleanupPath().c_str());
    for (const std::wstring& payload : RunPayloads()) DeleteFileW(payload.c_str());
  }

  // Lays out an archive around the real stub and cleanup tool, with a
  // stand-in program in the decryptor's slot (orx archive, which refuses
  // programs unfit for their slots, is tested on its own), and returns its
  // bytes.
  Bytes BuildArchive(const std::wstring& archive, const Bytes& payload,
                     const wchar_t* decryptor = L"orx_recorder.exe") {
    Bytes bytes;
    const struct {
      const wchar_t* program;
      size_t slot;
    } parts[] = {{L"Tarrow.exe", 0x6000}, {L"Orx_DelTool.exe", 0x3000}, {decryptor, 0xA200}};
    for (const auto& part : parts) {
      Bytes image = orxtest::ReadBytes(Bin(part.program));
      EXPECT_TRUE(!image.empty() && image.size() <= part.slot) << orxtest::WideToUtf8(part.program);
      image.resize(part.slot, 0);
      bytes.insert(bytes.end(), image.begin(), image.end());
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    EXPECT_TRUE(orxtest::WriteBytes(archive, bytes.data(), bytes.size()));
    EXPECT_EQ(bytes.size(), kPayloadOffset + payload.size());
    return bytes;
  }

  // The stub's exit code; its run time in `elapsedMs` when asked. Handles
  // in `release` are closed `releaseMs` after the start, while it runs. A
  // message box the stub shows is read into message_ and answered with OK.
  int RunStub(const std::wstring& archive, const std::wstring& folder, DWORD* elapsedMs = nullptr,
              HANDLE release = nullptr, DWORD releaseMs = 0) {
    message_ = {};
    DWORD start = GetTickCount();
    orxtest::Process p = orxtest::Start(L"\"" + archive + L"\"", folder);
    bool released = release == nullptr;
    while (WaitForSingleObject(p.handle, 50) == WAIT_TIMEOUT && GetTickCount() - start < 30000) {
      if (!released && GetTickCount() - start >= releaseMs) {
        CloseHandle(release);
        released = true;
      }
      for (HWND w : orxtest::VisibleWindowsOf(p.pid)) {
        if (message_.caption.empty() && orxtest::ClassName(w) == L"#32770") {
          message_ = orxtest::ReadMessageBox(w);
          orxtest::PressButton(w, IDOK);
        }
      }
    }
    if (!released) CloseHandle(release);
    int code = orxtest::WaitExit(p, 1000);
    if (elapsedMs) *elapsedMs = GetTickCount() - start;
    orxtest::Close(p);
    return code;
  }

  // The message a failed run shows: what, the file, the system's reason.
  static std::wstring Refusal(const wchar_t* what, const std::wstring& path, DWORD error) {
    wchar_t reason[1024] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   reason, 1024, nullptr);
    return std::wstring(what) + L"\n" + path + L"\n\n" + reason;
  }
  void ExpectRefusal(const wchar_t* what, const std::wstring& path, DWORD error) {
    EXPECT_EQ(message_.caption, L"Orvanta");
    EXPECT_EQ(message_.text, Refusal(what, path, error));
    EXPECT_EQ(message_.icon, orxtest::BoxIcon::Error);
    EXPECT_EQ(message_.buttons, std::vector<int>{IDOK});
  }

  // The recorder's log line once the started decryptor has written it.
  std::string WaitForStart(DWORD timeoutMs = 15000) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      Bytes log = orxtest::ReadBytes(log_);
      if (!log.empty() && log.back() == '\n') {
        Sleep(500);  // let the recorder end, so that its file can be replaced
        return std::string(log.begin(), log.end());
      }
      Sleep(100);
    }
    return {};
  }

  void ExpectNoStart() {
    Sleep(2000);
    EXPECT_FALSE(orxtest::FileExists(log_)) << "the decryptor was started";
  }

  std::wstring root_;
  std::wstring log_;
  orxtest::MessageBoxInfo message_;
};

constexpr wchar_t kCannotWrite[] = L"The archive cannot write this file:";

TEST_F(StubTest, WritesTheThreeFilesAndStartsTheDecryptorForEveryPayloadSize) {
  // 0: a bare stub; 65,535: one full chunk then an empty read; 65,536: one
  // full chunk and one byte; the last spans several chunks.
  for (size_t size : {size_t(0), size_t(1000), size_t(65535), size_t(65536), size_t(200001)}) {
    SCOPED_TRACE("payload of " + std::to_string(size) + " bytes");
    SetUp();
    std::wstring folder = root_ + L"\\run";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring decryptor = folder + L"\\Orx_DecryptFile.exe";
    DeleteFileW(decryptor.c_str());
    // Existing files are replaced, not appended to: leave longer ones behind.
    // Another run's payload (the fixed name of older archives) is left alone.
    Bytes junk = Pattern(300000, 7);
    const std::wstring older = TempFolder() + L"\\Orx_Decrypt.tmp";
    orxtest::WriteBytes(CleanupPath(), junk.data(), junk.size());
    orxtest::WriteBytes(older, junk.data(), junk.size());
    orxtest::WriteBytes(decryptor, junk.data(), junk.size());

    std::wstring archive = root_ + L"\\archive.exe";
    Bytes payload = Pattern(size, static_cast<unsigned>(size));
    Bytes image = BuildArchive(archive, payload);
    ASSERT_EQ(image.size(), kPayloadOffset + size);

    EXPECT_EQ(RunStub(archive, folder), 0);
    EXPECT_EQ(message_.caption, L"") << "a message on success";
    EXPECT_EQ(orxtest::ReadBytes(CleanupPath()), Slice(image, kCleanupOffset, kCleanupSize));
    std::string line = WaitForStart();
    ASSERT_FALSE(line.empty()) << "the decryptor was not started";
    std::vector<std::wstring> payloads = RunPayloads();
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(orxtest::ReadBytes(payloads[0]), payload);
    EXPECT_EQ(orxtest::ReadBytes(older), junk);
    DeleteFileW(older.c_str());
    // The recorder is still the running decryptor's image: read it shared.
    EXPECT_EQ(orxtest::ReadBytes(decryptor), Slice(image, kDecryptorOffset, kDecryptorSize));
    // Its command line: itself, then the archive's own path in quotes, the
    // folder of the payload and the cleanup tool, the payload's name; it
    // runs in the stub's current folder.
    std::wstring name = payloads[0].substr(TempFolder().size() + 1);
    std::string expectedTail = "\"" + orxtest::WideToUtf8(archive) + "\" \"" +
                               orxtest::WideToUtf8(orxtest::WindowsFolder()) + "\" " +
                               orxtest::WideToUtf8(name) + "\t" + orxtest::WideToUtf8(folder) + "\t";
    EXPECT_NE(line.find("Orx_DecryptFile.exe"), std::string::npos) << line;
    EXPECT_NE(line.find(expectedTail), std::string::npos) << line;
  }
}

TEST_F(StubTest, PassesAPathWithBlanksAsOneQuotedArgument) {
  std::wstring folder = root_ + L"\\with blanks here";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring archive = folder + L"\\my archive.exe";
  BuildArchive(archive, Pattern(10, 1));
  ASSERT_EQ(RunStub(archive, folder), 0);
  std::string line = WaitForStart();
  EXPECT_NE(line.find(" \"" + orxtest::WideToUtf8(archive) + "\" \""), std::string::npos) << line;
}

// A file that cannot be written is named in a message with the system's
// reason; the run then leaves none of its files behind and starts nothing.
TEST_F(StubTest, NamesAFileItCannotWriteAndLeavesNothingOfTheRun) {
  std::wstring archive = root_ + L"\\archive.exe";
  Bytes image = BuildArchive(archive, Pattern(5000, 3));

  // The decryptor's place in the current folder is taken by a folder of
  // that name: it cannot be created, whoever runs the test. It comes first,
  // so nothing is written anywhere.
  std::wstring folder = root_ + L"\\blocked";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\Orx_DecryptFile.exe").c_str(), nullptr);
  EXPECT_EQ(RunStub(archive, folder), 1);
  ExpectRefusal(kCannotWrite, folder + L"\\Orx_DecryptFile.exe", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(orxtest::FileExists(CleanupPath()));
  EXPECT_TRUE(RunPayloads().empty());
  ExpectNoStart();
}

// A Windows folder without its temp subfolder takes no payload: the
// cleanup tool and the payload go to the recipient's own folder instead,
// as where the folder refuses the user. Where that folder cannot be used
// either, the run takes back every file it wrote, the cleanup tool it put
// into the Windows folder included.
TEST_F(StubTest, WithoutTheWindowsTempFolderUsesTheRecipientsOwnOrTakesAllBack) {
  std::wstring archive = root_ + L"\\archive.exe";
  Bytes payload = Pattern(5000, 3);
  BuildArchive(archive, payload);
  const std::wstring temp = TempFolder();
  const std::wstring moved = orxtest::WindowsFolder() + L"\\temp-moved-by-test";
  const std::wstring own = UserFolder();
  for (bool ownUsable : {true, false}) {
    SCOPED_TRACE(ownUsable ? "the recipient's own folder" : "no folder at all");
    SetUp();
    orxtest::RemoveTree(own);
    if (!ownUsable) ASSERT_TRUE(orxtest::WriteBytes(own, "x", 1));  // a file at the folder's name
    std::wstring folder = root_ + L"\\no-temp";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"\\Orx_DecryptFile.exe").c_str());
    ASSERT_TRUE(MoveFileW(temp.c_str(), moved.c_str()));
    int code = RunStub(archive, folder);
    bool tempCreated = GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES;
    MoveFileW(moved.c_str(), temp.c_str());
    EXPECT_FALSE(tempCreated);
    if (ownUsable) {
      EXPECT_EQ(code, 0) << orxtest::WideToUtf8(message_.text);
      std::string line = WaitForStart();
      EXPECT_NE(line.find(" \"" + orxtest::WideToUtf8(own) + "\" Orx_Decrypt_"), std::string::npos)
          << line;
      std::vector<std::wstring> payloads = RunPayloads(own);
      ASSERT_EQ(payloads.size(), 1u);
      EXPECT_EQ(orxtest::ReadBytes(payloads[0]), payload);
      EXPECT_TRUE(orxtest::FileExists(own + L"\\Orx_DelTool.exe"));
    } else {
      EXPECT_EQ(code, 1);
      ExpectRefusal(L"The archive cannot use this folder:", own, ERROR_ACCESS_DENIED);
      EXPECT_FALSE(orxtest::FileExists(CleanupPath())) << "the cleanup tool of the run stayed";
      EXPECT_FALSE(orxtest::FileExists(folder + L"\\Orx_DecryptFile.exe"));
      ExpectNoStart();
    }
    orxtest::RemoveTree(own);
    DeleteFileW(own.c_str());
  }
}

TEST_F(StubTest, RefusesATruncatedArchiveBeforeWritingAnything) {
  std::wstring full = root_ + L"\\full.exe";
  Bytes image = BuildArchive(full, Pattern(100, 9));
  for (size_t cut : {kPayloadOffset - 1, size_t(30000)}) {
    SCOPED_TRACE("archive of " + std::to_string(cut) + " bytes");
    SetUp();
    std::wstring folder = root_ + L"\\truncated";
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"\\Orx_DecryptFile.exe").c_str());
    std::wstring archive = root_ + L"\\truncated.exe";
    ASSERT_TRUE(orxtest::WriteBytes(archive, image.data(), cut));

    orxtest::Process p = orxtest::Start(L"\"" + archive + L"\"", folder);
    HWND box = orxtest::WaitForWindow(L"Orvanta", L"#32770", 15000, p.pid);
    ASSERT_NE(box, nullptr) << "no message box";
    orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(box);
    EXPECT_EQ(info.text, L"Read file fail!");
    EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(info.icon, orxtest::BoxIcon::None);
    orxtest::PressButton(box, IDOK);
    EXPECT_EQ(orxtest::WaitExit(p, 15000), 1);
    orxtest::Close(p);
    EXPECT_FALSE(orxtest::FileExists(CleanupPath()));
    EXPECT_TRUE(RunPayloads().empty());
    EXPECT_FALSE(orxtest::FileExists(folder + L"\\Orx_DecryptFile.exe"));
  }
}

// Files of an earlier run can still be in use when the archive runs again:
// after a wrong password the cleanup tool runs from its file for about 5.5 s,
// and the first decryptor holds its program file and reads the payload. A
// file in use that already holds this run's bytes is kept at once; one that
// differs is waited for, about 7 s at most.
TEST_F(StubTest, KeepsOrWaitsForFilesOfAnEarlierRunThatAreInUse) {
  enum Target { kCleanup, kDecryptor, kPayload };
  enum class Holder { CleanupToolRunning, OpenWithoutSharing, OpenForReading, OpenForWriting };
  struct Case {
    const char* name;
    Target target;
    Holder holder;
    bool sameBytes;   // the held file holds what this run writes there
    DWORD releaseMs;  // open handles: closed this long after the start; 0: after the stub ends
    int exitCode;
    DWORD minMs, maxMs;  // the stub's run time, start to end
  };
  using H = Holder;
  const Case cases[] = {
      {"the same cleanup tool still runs", kCleanup, H::CleanupToolRunning, true, 0, 0, 0, 4500},
      {"an older cleanup tool runs", kCleanup, H::CleanupToolRunning, false, 0, 0, 3000, 9000},
      {"the decryptor's name held for 2 s", kDecryptor, H::OpenWithoutSharing, false, 2000, 0, 1500,
       9000},
      {"the decryptor's name held too long", kDecryptor, H::OpenWithoutSharing, false, 0, 1, 6500,
       20000},
      // Each run has a payload of its own: another run's is left alone.
      {"another run's payload read by its decryptor", kPayload, H::OpenForReading, false, 0, 0, 0,
       4500},
      // Someone who can still change it between the check and the start:
      // never started.
      {"a right-bytes decryptor held open for writing", kDecryptor, H::OpenForWriting, true, 0, 1,
       6500, 20000},
  };
  std::wstring archive = root_ + L"\\archive.exe";
  Bytes payload = Pattern(100000, 5);
  Bytes image = BuildArchive(archive, payload);
  const Bytes expected[] = {Slice(image, kCleanupOffset, kCleanupSize),
                            Slice(image, kDecryptorOffset, kDecryptorSize), payload};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    std::wstring folder = root_ + L"\\in-use";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring paths[] = {CleanupPath(), folder + L"\\Orx_DecryptFile.exe",
                                  TempFolder() + L"\\Orx_Decrypt.tmp"};
    const std::wstring& path = paths[c.target];
    DeleteFileW(paths[kDecryptor].c_str());

    // A different file is an older build of the cleanup tool (its image
    // without the slot's padding) or anything else.
    Bytes held = c.sameBytes                           ? expected[c.target]
                 : c.holder == H::CleanupToolRunning ? orxtest::ReadBytes(Bin(L"Orx_DelTool.exe"))
                                                     : Pattern(5000, 99);
    ASSERT_TRUE(orxtest::WriteBytes(path, held.data(), held.size()));
    orxtest::Process tool;
    HANDLE handle = nullptr;
    if (c.holder == H::CleanupToolRunning) {
      // Started for a file that does not exist, it still lives its 5.5 s.
      tool = orxtest::Start(L"\"" + path + L"\" \"" + root_ + L"\\nothing-to-delete\"");
      ASSERT_NE(tool.handle, nullptr);
      Sleep(300);
    } else {
      DWORD access = c.holder == H::OpenForWriting ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
      DWORD share = c.holder == H::OpenForReading   ? FILE_SHARE_READ | FILE_SHARE_WRITE
                    : c.holder == H::OpenForWriting ? FILE_SHARE_READ
                                                    : 0;
      handle = CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }

    DWORD elapsed = 0;
    int code = RunStub(archive, folder, &elapsed, c.releaseMs ? handle : nullptr, c.releaseMs);
    if (handle && !c.releaseMs) CloseHandle(handle);
    EXPECT_EQ(code, c.exitCode);
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    if (c.exitCode == 0) {
      EXPECT_EQ(message_.caption, L"") << orxtest::WideToUtf8(message_.text);
      EXPECT_FALSE(WaitForStart().empty()) << "the decryptor was not started";
      for (int t : {kCleanup, kDecryptor}) {
        EXPECT_EQ(orxtest::ReadBytes(paths[t]), expected[t]) << orxtest::WideToUtf8(paths[t]);
      }
      std::vector<std::wstring> payloads = RunPayloads();
      ASSERT_EQ(payloads.size(), 1u);
      EXPECT_EQ(orxtest::ReadBytes(payloads[0]), expected[kPayload]);
      if (c.target == kPayload) EXPECT_EQ(orxtest::ReadBytes(path), held);
    } else {
      ExpectRefusal(kCannotWrite, path, ERROR_SHARING_VIOLATION);
      ExpectNoStart();
      EXPECT_EQ(orxtest::ReadBytes(path), held) << "the held file was changed";
    }
    if (tool.handle) {
      EXPECT_EQ(orxtest::WaitExit(tool, 10000), 0);
      orxtest::Close(tool);
    }
  }
}

// Another local user may make one of the stub's fixed names a hard link to
// some other file before the archive runs (often as an administrator): the
// link is replaced by a file of its own and the other file keeps its bytes.
TEST_F(StubTest, ReplacesAHardLinkAtItsPathsAndLeavesTheLinkedFileAlone) {
  std::wstring archive = root_ + L"\\archive.exe";
  Bytes payload = Pattern(70000, 4);
  Bytes image = BuildArchive(archive, payload);
  const Bytes expected[] = {Slice(image, kCleanupOffset, kCleanupSize),
                            Slice(image, kDecryptorOffset, kDecryptorSize), payload};
  std::wstring folder = root_ + L"\\linked";
  CreateDirectoryW(folder.c_str(), nullptr);
  // The payload's name is the run's own: nothing can stand there before.
  const std::wstring paths[] = {CleanupPath(), folder + L"\\Orx_DecryptFile.exe"};
  std::wstring victim = root_ + L"\\victim.bin";
  const Bytes victimBytes = Pattern(3000, 11);
  for (size_t t = 0; t < 2; ++t) {
    SCOPED_TRACE(orxtest::WideToUtf8(paths[t]));
    SetUp();
    DeleteFileW(paths[1].c_str());
    DeleteFileW(victim.c_str());
    ASSERT_TRUE(orxtest::WriteBytes(victim, victimBytes.data(), victimBytes.size()));
    ASSERT_TRUE(CreateHardLinkW(paths[t].c_str(), victim.c_str(), nullptr));
    ASSERT_EQ(orxtest::LinkCount(victim), 2u);

    EXPECT_EQ(RunStub(archive, folder), 0);
    EXPECT_FALSE(WaitForStart().empty()) << "the decryptor was not started";
    EXPECT_EQ(orxtest::ReadBytes(victim), victimBytes);
    EXPECT_EQ(orxtest::LinkCount(victim), 1u);
    EXPECT_EQ(orxtest::ReadBytes(paths[t]), expected[t]);
  }
}

// Two quick starts of one archive: the second finds the first's decryptor
// running from its file with the same bytes, keeps it and starts its own
// (which the real decryptor ends at once by its single-instance rule). The
// recorder stands in for the decryptor, staying 5 s.
TEST_F(StubTest, SecondQuickStartKeepsTheRunningDecryptorAndStartsItsOwn) {
  std::wstring folder = root_ + L"\\twice";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring decryptor = folder + L"\\Orx_DecryptFile.exe";
  DeleteFileW(decryptor.c_str());
  std::wstring archive = root_ + L"\\twice.exe";
  Bytes image = BuildArchive(archive, Pattern(10, 2));
  struct Stay {  // for the programs started here, and no others
    Stay() { SetEnvironmentVariableW(L"ORX_RECORDER_STAY_MS", L"5000"); }
    ~Stay() { SetEnvironmentVariableW(L"ORX_RECORDER_STAY_MS", nullptr); }
  } stay;

  ASSERT_EQ(RunStub(archive, folder), 0);
  DWORD elapsed = 0;
  EXPECT_EQ(RunStub(archive, folder, &elapsed), 0);
  EXPECT_LE(elapsed, 4500u) << "the second start waited for the first decryptor to end";
  EXPECT_EQ(CountProcesses(L"Orx_DecryptFile.exe"), 2);
  EXPECT_EQ(orxtest::ReadBytes(decryptor), Slice(image, kDecryptorOffset, kDecryptorSize));

  for (int i = 0; i < 100 && CountProcesses(L"Orx_DecryptFile.exe") > 0; ++i) Sleep(100);
  EXPECT_EQ(CountProcesses(L"Orx_DecryptFile.exe"), 0);
}

}  // namespace
