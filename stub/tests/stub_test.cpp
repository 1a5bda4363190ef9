// The archive stub, run for real under Wine: archives are built with the
// orx tool around the real cleanup tool (slot 1) and the recorder program
// (slot 2, standing in for the decryptor, so that its start can be seen).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orxtest/driver.h"

namespace {

constexpr size_t kPayloadOffset = 78336;
constexpr size_t kCleanupOffset = 24576, kCleanupSize = 12288;
constexpr size_t kDecryptorOffset = 36864, kDecryptorSize = 41472;

using Bytes = std::vector<unsigned char>;

std::wstring Bin(const wchar_t* name) { return orxtest::ModuleFolder() + L"\\" + name; }
std::wstring CleanupPath() { return orxtest::WindowsFolder() + L"\\Orx_DelTool.exe"; }
std::wstring PayloadPath() { return orxtest::WindowsFolder() + L"\\temp\\Orx_Decrypt.tmp"; }

Bytes Pattern(size_t size, unsigned seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>((i * 131 + seed) >> 3);
  return b;
}

Bytes Slice(const Bytes& b, size_t from, size_t size) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + size));
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
    DeleteFileW(PayloadPath().c_str());
  }

  // Builds an archive with `orx archive` and returns its bytes.
  Bytes BuildArchive(const std::wstring& archive, const Bytes& payload) {
    std::wstring payloadFile = root_ + L"\\payload.bin";
    EXPECT_TRUE(orxtest::WriteBytes(payloadFile, payload.data(), payload.size()));
    std::wstring cmd = L"\"" + Bin(L"orx.exe") + L"\" archive --stub \"" + Bin(L"Tarrow.exe") +
                       L"\" --cleanup \"" + Bin(L"Orx_DelTool.exe") + L"\" --decryptor \"" +
                       Bin(L"orx_recorder.exe") + L"\" --payload \"" + payloadFile + L"\" -o \"" +
                       archive + L"\"";
    orxtest::Process p = orxtest::Start(cmd);
    EXPECT_EQ(orxtest::WaitExit(p, 60000), 0) << "orx archive failed";
    orxtest::Close(p);
    Bytes bytes = orxtest::ReadBytes(archive);
    EXPECT_EQ(bytes.size(), kPayloadOffset + payload.size());
    return bytes;
  }

  int RunStub(const std::wstring& archive, const std::wstring& folder) {
    orxtest::Process p = orxtest::Start(L"\"" + archive + L"\"", folder);
    int code = orxtest::WaitExit(p, 30000);
    orxtest::Close(p);
    return code;
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
};

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
    Bytes junk = Pattern(300000, 7);
    orxtest::WriteBytes(CleanupPath(), junk.data(), junk.size());
    orxtest::WriteBytes(PayloadPath(), junk.data(), junk.size());
    orxtest::WriteBytes(decryptor, junk.data(), junk.size());

    std::wstring archive = root_ + L"\\archive.exe";
    Bytes payload = Pattern(size, static_cast<unsigned>(size));
    Bytes image = BuildArchive(archive, payload);
    ASSERT_EQ(image.size(), kPayloadOffset + size);

    EXPECT_EQ(RunStub(archive, folder), 0);
    EXPECT_EQ(orxtest::ReadBytes(CleanupPath()), Slice(image, kCleanupOffset, kCleanupSize));
    std::string line = WaitForStart();
    ASSERT_FALSE(line.empty()) << "the decryptor was not started";
    EXPECT_EQ(orxtest::ReadBytes(PayloadPath()), payload);
    // The recorder is still the running decryptor's image: read it shared.
    EXPECT_EQ(orxtest::ReadBytes(decryptor), Slice(image, kDecryptorOffset, kDecryptorSize));
    // Its command line: itself, then the archive's own path in quotes; it
    // runs in the stub's current folder.
    std::string expectedTail = "\"" + orxtest::WideToUtf8(archive) + "\"\t" +
                               orxtest::WideToUtf8(folder) + "\t";
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
  EXPECT_NE(line.find(" \"" + orxtest::WideToUtf8(archive) + "\"\t"), std::string::npos) << line;
}

TEST_F(StubTest, FailsWithoutStartingWhenAFileCannotBeCreated) {
  std::wstring archive = root_ + L"\\archive.exe";
  Bytes image = BuildArchive(archive, Pattern(5000, 3));

  // The decryptor's place in the current folder is taken by a folder of
  // that name: it cannot be created, whoever runs the test.
  std::wstring folder = root_ + L"\\blocked";
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\Orx_DecryptFile.exe").c_str(), nullptr);
  EXPECT_EQ(RunStub(archive, folder), 1);
  EXPECT_EQ(orxtest::ReadBytes(CleanupPath()), Slice(image, kCleanupOffset, kCleanupSize))
      << "the cleanup tool comes first and stays";
  EXPECT_FALSE(orxtest::FileExists(PayloadPath()));
  ExpectNoStart();

  // Without the Windows folder's temp subfolder the payload cannot be
  // written; the stub does not create the folder.
  std::wstring temp = orxtest::WindowsFolder() + L"\\temp";
  std::wstring moved = orxtest::WindowsFolder() + L"\\temp-moved-by-test";
  ASSERT_TRUE(MoveFileW(temp.c_str(), moved.c_str()));
  std::wstring okFolder = root_ + L"\\run2";
  CreateDirectoryW(okFolder.c_str(), nullptr);
  int code = RunStub(archive, okFolder);
  bool tempCreated = GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES;
  MoveFileW(moved.c_str(), temp.c_str());
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(tempCreated);
  EXPECT_TRUE(orxtest::FileExists(okFolder + L"\\Orx_DecryptFile.exe"));
  ExpectNoStart();
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
    EXPECT_FALSE(orxtest::FileExists(PayloadPath()));
    EXPECT_FALSE(orxtest::FileExists(folder + L"\\Orx_DecryptFile.exe"));
  }
}

}  // namespace
