// Self-decrypting archives end to end under Wine: archives made with
// `orx pack --archive` around the real stub, cleanup tool and decryptor,
// run in a test folder, the password typed into the real dialog and the
// real message boxes read and answered. After each run the files are as a
// recipient would find them once the cleanup tools have ended.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "recipient.h"

namespace {

using Bytes = std::vector<unsigned char>;
using orxtest::BoxIcon;

// Expected texts, per language of the system the test runs under.
struct Texts {
  std::wstring wrongPassword, osError, overwrite, decrypted;
};
const Texts kEnglish = {
    L"Wrong password!", L"Windows OS error!",
    L"File is already exist, overwrtie it?",
    L" has been decrypted. \nWould you want to open it? \n\n(This file may include malicious "
    L"code.)"};
const Texts kGerman = {
    L"Falsches Kennwort!", L"Windows BS Fehler!",
    L"Diese Datei ist bereits vorhanden. Datei \u00dcberschreiben?",
    L" wurde verschl\u00fcsselt. \nM\u00f6chten Sie die Datei \u00f6ffnen? \n\n(Diese Datei kann "
    L"sch\u00e4dlichen Code oder sch\u00e4dliche Software enthalten.)"};

const Texts& Expected() {
  return PRIMARYLANGID(GetSystemDefaultLangID()) == LANG_GERMAN ? kGerman : kEnglish;
}

Bytes Sample(size_t size, unsigned seed) {
  Bytes b(size);
  unsigned x = seed * 2654435761u + 1;
  for (auto& c : b) {
    x = x * 1103515245u + 12345u;
    c = static_cast<unsigned char>(x >> 16);
  }
  return b;
}

// How orx packs an archive: format 2 at the lowest cost its readers take
// (a derivation under wine64 then takes a fraction of a second), format 2
// at the default cost, or format 1 with its key length.
const std::wstring kFormat2 = L"--cost 100000";
const std::wstring kFormat2AtTheDefaultCost = L"";
std::wstring Format1(int keyBits) { return L"--format 1 --key-bits " + std::to_wstring(keyBits); }

// Temporary outputs (orx*.tmp) left in a folder.
int TempOutputs(const std::wstring& folder) {
  return static_cast<int>(orxtest::FileNames(folder, L"orx*.tmp").size());
}

// The progress window of a long decryption: a dialog of the decryptor's
// with the stored name (control 1004) over a progress control (1005) that
// shows the share done, asked to draw in the product's colour.
constexpr int kProgressName = 1004;
constexpr int kProgressBar = 1005;
constexpr COLORREF kBarColor = RGB(0, 80, 71);

HWND ProgressWindowOf(DWORD pid) {
  for (HWND w : orxtest::VisibleWindowsOf(pid)) {
    if (orxtest::ClassName(w) == L"#32770" && GetDlgItem(w, kProgressBar)) return w;
  }
  return nullptr;
}

// The stub's drawn bar: its rectangle in the window's client coordinates.
RECT BarRect(HWND progress) {
  RECT bar = {};
  GetWindowRect(GetDlgItem(progress, kProgressBar), &bar);
  MapWindowPoints(nullptr, progress, reinterpret_cast<POINT*>(&bar), 2);
  return bar;
}

// Where the bar stands, and its end.
LRESULT BarPosition(HWND progress) {
  return SendMessageW(GetDlgItem(progress, kProgressBar), PBM_GETPOS, 0, 0);
}
LRESULT BarEnd(HWND progress) {
  return SendMessageW(GetDlgItem(progress, kProgressBar), PBM_GETRANGE, FALSE, 0);
}

// Any progress window on the screen, the stub's or the decryptor's.
bool AnyProgressWindow() {
  for (HWND w = FindWindowW(L"#32770", nullptr); w;
       w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
    if (IsWindowVisible(w) && GetDlgItem(w, kProgressBar)) return true;
  }
  return false;
}

// An archive of `size` bytes without the disk space: `archive` extended by a
// hole, which reads back as zeros (the stub reads it as any other bytes;
// the payload copy it writes is real). Its payload is then not one that
// decrypts: a test takes such an archive no further than the dialog.
bool ExtendTo(const std::wstring& archive, ULONGLONG size) {
  HANDLE file = CreateFileW(archive.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  bool extended = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return extended;
}
constexpr ULONGLONG kLargeArchive = 2ull << 30;
// Room for a large archive's payload copy, with some to spare.
bool RoomForALargeArchive() {
  ULARGE_INTEGER free = {};
  return GetDiskFreeSpaceExW(L"C:\\", &free, nullptr, nullptr) && free.QuadPart >= (5ull << 30);
}
ULONGLONG FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The stub's progress window, once it shows; null when the stub ends or
// the time is up first.
HWND WaitForStubWindow(const orxtest::Process& stub, DWORD timeoutMs = 20000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10)) {
    if (HWND w = ProgressWindowOf(stub.pid)) return w;
    if (WaitForSingleObject(stub.handle, 0) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// Waits for a process to end; its exit code (-1 when it did not end in
// time), and in *showed whether it ever showed a window meanwhile.
int WaitExitWatching(orxtest::Process& process, DWORD timeoutMs, bool* showed) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    *showed = *showed || !orxtest::VisibleWindowsOf(process.pid).empty();
    if (WaitForSingleObject(process.handle, 5) == WAIT_OBJECT_0) break;
  }
  return orxtest::WaitExit(process, 0);
}

// Waits for a run to end, watching for a message box (its text is control
// 0xFFFF; so is the frame of a progress window's bar); its exit code.
int WaitExitWithoutMessage(orxtest::Process& process, DWORD timeoutMs, bool* messageShown) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    for (HWND w : orxtest::VisibleWindowsOf(process.pid)) {
      *messageShown |= GetDlgItem(w, 0xFFFF) && !GetDlgItem(w, kProgressBar);
    }
    if (WaitForSingleObject(process.handle, 20) == WAIT_OBJECT_0) break;
  }
  return orxtest::WaitExit(process, 0);
}

// Waits for the progress window with some of its bar filled.
HWND WaitForProgress(DWORD pid, DWORD timeoutMs = 20000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
    HWND w = ProgressWindowOf(pid);
    if (w && BarPosition(w) > 0) return w;
  }
  return nullptr;
}

class ArchiveE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(recipient::CryptoLibraryFound(), L"") << "the archives must run without libcrypto";
  }

  void SetUp() override {
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    std::wstring name =
        orxtest::Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
    CreateDirectoryW(L"C:\\orx-tests", nullptr);
    CreateDirectoryW(L"C:\\orx-tests\\e2e", nullptr);
    root_ = L"C:\\orx-tests\\e2e\\" + name;
    orxtest::RemoveTree(root_);  // each test starts afresh
    CreateDirectoryW(root_.c_str(), nullptr);
    folder_ = root_ + L"\\recipient";
    CreateDirectoryW(folder_.c_str(), nullptr);
    source_ = root_ + L"\\source";
    CreateDirectoryW(source_.c_str(), nullptr);
    for (const std::wstring& payload : recipient::PayloadFiles()) DeleteFileW(payload.c_str());
  }

  void TearDown() override {
    // Every ending has the cleanup tool remove the decryptor once it ended.
    EXPECT_TRUE(recipient::WaitForCleanupTools());
    EXPECT_FALSE(orxtest::FileExists(Decryptor())) << "the decryptor was not removed";
  }

  std::wstring Decryptor() const { return folder_ + L"\\Orx_DecryptFile.exe"; }
  std::wstring Output(const std::wstring& name) const { return folder_ + L"\\" + name; }

  // Packs `content` stored as `name` with the password (UTF-8) into an
  // archive of the format.
  std::wstring Pack(const std::wstring& name, const Bytes& content, const std::string& password,
                    const std::wstring& format = kFormat2,
                    const std::wstring& archiveName = L"archive.exe") {
    std::wstring file = source_ + L"\\" + name;
    EXPECT_TRUE(orxtest::WriteBytes(file, content.data(), content.size()));
    std::wstring passwordFile = root_ + L"\\password.txt";
    std::string line = password + "\n";
    EXPECT_TRUE(orxtest::WriteBytes(passwordFile, line.data(), line.size()));
    std::wstring archive = root_ + L"\\" + archiveName;
    std::wstring bin = orxtest::ModuleFolder();
    // The decryptor takes passwords outside the product's rules too; a test
    // may pack twice into the same archive.
    EXPECT_EQ(recipient::RunOrx(L"pack \"" + file + L"\" -o \"" + archive +
                                    L"\" --force --no-password-rules " + format +
                                    L" --archive --stub \"" + bin +
                                    L"\\Tarrow.exe\" --cleanup \"" + bin +
                                    L"\\Orx_DelTool.exe\" --decryptor \"" + bin +
                                    L"\\Orx_DecryptFile.exe\"",
                                passwordFile),
              0);
    DeleteFileW(passwordFile.c_str());
    return archive;
  }

  // Runs the archive with a wrong or failing outcome: one message, OK. No
  // unverified output may be on disk while the message is shown.
  void ExpectOneMessage(const std::wstring& archive, const std::wstring& password,
                        const std::wstring& text, BoxIcon icon, bool typed = true) {
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok()) << "no password dialog";
    run.EnterPassword(password, typed);
    HWND shown = nullptr;
    orxtest::MessageBoxInfo box = run.NextMessage(&shown);
    ASSERT_NE(shown, nullptr) << "no message";
    EXPECT_EQ(TempOutputs(folder_), 0) << "unverified output on disk while the message shows";
    orxtest::PressButton(shown, IDOK);
    EXPECT_EQ(box.caption, recipient::kCaption);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, icon) << orxtest::IconName(box.icon);
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(run.WaitForEnd(), 0);
  }

  // Runs the archive in the recipient's folder, types the password and
  // answers No to opening the file; the message's text.
  std::wstring DecryptWithoutOpening(const std::wstring& archive, const std::wstring& password) {
    recipient::ArchiveRun run(archive, folder_);
    EXPECT_TRUE(run.ok()) << "no password dialog for " << orxtest::WideToUtf8(archive);
    if (!run.ok()) return L"";
    run.EnterPassword(password);
    std::wstring text = run.Answer(IDNO).text;
    EXPECT_EQ(run.WaitForEnd(), 0);
    return text;
  }

  // A wrong password, then the same archive again at once (the first run's
  // cleanup tool still running): the retry asks again and opens `content`
  // with the right one. `afterWrong` checks what the first run left.
  template <typename Check>
  void WrongThenRightAtOnce(const Bytes& content, Check afterWrong) {
    std::wstring archive = Pack(L"retry.bin", content, "right");
    ExpectOneMessage(archive, L"wrong", Expected().wrongPassword, BoxIcon::Warning);
    EXPECT_FALSE(orxtest::FileExists(Output(L"retry.bin")));
    afterWrong();
    ASSERT_GE(recipient::CountProcesses(L"Orx_DelTool.exe"), 1) << "the retry is not at once";
    EXPECT_EQ(DecryptWithoutOpening(archive, L"right"), L"retry.bin" + Expected().decrypted);
    EXPECT_EQ(orxtest::ReadBytes(Output(L"retry.bin")), content);
  }

  std::wstring root_, folder_, source_;
};

TEST_F(ArchiveE2E, DecryptsVerifiesAndKeepsTheFileWhenNotOpened) {
  Bytes content = Sample(70000, 1);
  std::wstring archive = Pack(L"report.bin", content, "correct horse");
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(orxtest::WindowText(run.dialog()), recipient::kCaption);
  run.EnterPassword(L"correct horse");
  orxtest::MessageBoxInfo box = run.Answer(IDNO);
  EXPECT_EQ(box.text, L"report.bin" + Expected().decrypted);
  EXPECT_EQ(box.icon, BoxIcon::Warning);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(run.WaitForEnd(), 0);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"report.bin")), content);
  EXPECT_TRUE(recipient::PayloadFiles().empty()) << "the payload is deleted";
  EXPECT_EQ(TempOutputs(folder_), 0);
}

// Registers the recorder as the program of the type ".orxopen" while it
// lives, so that a start of it for a file can be seen in its log.
class RecorderForType {
 public:
  explicit RecorderForType(const std::wstring& log) : log_(log) {
    DeleteFileW(log_.c_str());
    SetEnvironmentVariableW(L"ORX_RECORDER_LOG", log_.c_str());
    std::wstring command = L"\"" + orxtest::ModuleFolder() + L"\\orx_recorder.exe\" \"%1\"";
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L".orxopen", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"OrxTest.Document"),
                     sizeof(L"OrxTest.Document"));
      RegCloseKey(key);
    }
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"OrxTest.Document\\shell\\open\\command", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  }
  ~RecorderForType() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".orxopen");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"OrxTest.Document");
    SetEnvironmentVariableW(L"ORX_RECORDER_LOG", nullptr);
  }
  // The next line the recorder logs, or empty when none comes in time.
  std::string WaitForLine(DWORD timeoutMs) {
    std::string line;
    for (DWORD waited = 0; waited < timeoutMs && line.empty(); waited += 100, Sleep(100)) {
      Bytes got = orxtest::ReadBytes(log_);
      if (!got.empty() && got.back() == '\n') line.assign(got.begin(), got.end());
    }
    DeleteFileW(log_.c_str());
    return line;
  }

 private:
  std::wstring log_;
};

// Opening is the shell's: the file type's registered program gets the file.
// The recorder is registered as that program, so the start can be seen.
TEST_F(ArchiveE2E, OpensTheFileWithItsProgramWhenAsked) {
  RecorderForType recorder(root_ + L"\\opened.log");
  std::string text = "Quarterly figures\r\n";
  std::wstring archive =
      Pack(L"notes.orxopen", Bytes(text.begin(), text.end()), "pw-128", Format1(128));
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  run.EnterPassword(L"pw-128");
  run.Answer(IDYES);
  EXPECT_EQ(run.WaitForEnd(), 0);
  std::string line = recorder.WaitForLine(10000);
  EXPECT_NE(line.find("notes.orxopen"), std::string::npos) << "the program did not get the file: "
                                                            << line;
  EXPECT_NE(line.find(orxtest::WideToUtf8(folder_)), std::string::npos) << line;
  EXPECT_EQ(orxtest::ReadBytes(Output(L"notes.orxopen")), Bytes(text.begin(), text.end()));
}

// Without a program for the type, the system's open-with choice is started
// for the file: rundll32 from the system folder with the open-with entry
// point. Wine's entry point shows nothing (and Wine always runs its own
// rundll32), so the start is seen in the command lines of new processes.
TEST_F(ArchiveE2E, OffersTheOpenWithChoiceForATypeWithoutProgram) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring rundll = std::wstring(system) + L"\\rundll32.exe";
  // A planted rundll32 in the recipient's folder must not be the one run.
  std::wstring planted = folder_ + L"\\rundll32.exe";
  std::wstring plantLog = root_ + L"\\planted.log";
  CopyFileW((orxtest::ModuleFolder() + L"\\orx_recorder.exe").c_str(), planted.c_str(), FALSE);
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", plantLog.c_str());

  std::wstring archive = Pack(L"blob.orxnoassoc", Sample(3000, 2), "pw-192", Format1(192));
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  std::vector<std::wstring> started;
  std::atomic<bool> watching{true};
  std::thread watcher([&] {
    while (watching) {
      for (const std::wstring& line : recipient::CommandLinesOf(L"rundll32.exe")) {
        if (std::find(started.begin(), started.end(), line) == started.end())
          started.push_back(line);
      }
      Sleep(2);
    }
  });
  run.EnterPassword(L"pw-192");
  run.Answer(IDYES);
  EXPECT_EQ(run.WaitForEnd(), 0);
  Sleep(1000);
  watching = false;
  watcher.join();
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", nullptr);
  std::wstring expected =
      L"\"" + rundll + L"\" shell32.dll,OpenAs_RunDLL " + Output(L"blob.orxnoassoc");
  EXPECT_NE(std::find(started.begin(), started.end(), expected), started.end())
      << "started: " << started.size() << " rundll32 processes";
  EXPECT_FALSE(orxtest::FileExists(plantLog)) << "the planted rundll32 ran";
  EXPECT_EQ(orxtest::ReadBytes(Output(L"blob.orxnoassoc")), Sample(3000, 2));
}

// Running out of disk space while the output is written: the system error,
// and the partial file is removed. T: is a small disk the test set-up
// provides; without it there is nothing to test.
TEST_F(ArchiveE2E, AFullDiskEndsWithTheSystemErrorAndLeavesNoPartialFile) {
  if (GetFileAttributesW(L"T:\\") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no small disk T:";
  folder_ = L"T:\\recipient";
  orxtest::RemoveTree(folder_);
  ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
  std::wstring archive = Pack(L"big.bin", Sample(1 << 20, 13), "pw");
  ExpectOneMessage(archive, L"pw", Expected().osError, BoxIcon::Error);
  ASSERT_TRUE(recipient::WaitForCleanupTools());
  EXPECT_FALSE(orxtest::FileExists(Output(L"big.bin")));
  EXPECT_TRUE(recipient::PayloadFiles().empty()) << "the run's payload goes at every ending";
}

// Each run removes its own payload copy at every ending, so that attempts
// given up do not pile up copies of a large payload.
TEST_F(ArchiveE2E, CancelAndCloseLeaveNothingOfTheRun) {
  std::wstring archive = Pack(L"kept.bin", Sample(64, 11), "pw");
  {
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    orxtest::PressButton(run.dialog(), IDCANCEL);
    EXPECT_EQ(run.WaitForEnd(), 0);
  }
  EXPECT_TRUE(recipient::PayloadFiles().empty());
  ASSERT_TRUE(recipient::WaitForCleanupTools());
  EXPECT_FALSE(orxtest::FileExists(Decryptor()));
  {
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    orxtest::CloseWindowLikeUser(run.dialog());
    EXPECT_EQ(run.WaitForEnd(), 0);
  }
  EXPECT_FALSE(orxtest::FileExists(Output(L"kept.bin")));
  EXPECT_TRUE(recipient::PayloadFiles().empty());
}

// While the first dialog is open a second start waits a little for it to
// end, then ends with exit code 1, never having shown anything.
TEST_F(ArchiveE2E, ASecondInstanceWhileTheDialogIsOpenShowsNothing) {
  std::wstring archive = Pack(L"one.bin", Sample(64, 12), "pw");
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  orxtest::Process second = orxtest::Start(L"\"" + Decryptor() + L"\"", folder_);
  EXPECT_EQ(orxtest::WaitExit(second, 15000), 1);
  EXPECT_TRUE(orxtest::VisibleWindowsOf(second.pid).empty());
  orxtest::Close(second);
  // The first one is still there and works.
  run.EnterPassword(L"pw");
  run.Answer(IDNO);
  EXPECT_EQ(run.WaitForEnd(), 0);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"one.bin")), Sample(64, 12));
}

// DLLs planted in the download folder under the names the decryptor's crypto
// might be looked for by, with Wine told to prefer a native bcrypt.dll found
// on the search path over its own (bcrypt=n,b, as a DLL override in the
// registry, which every new process reads): the archive still decrypts,
// and neither the stub, the decryptor nor the cleanup tool loads any of
// them. The control, a program in that folder that loads them by bare name,
// shows that they would have been loaded.
TEST_F(ArchiveE2E, DllsPlantedInTheDownloadFolderAreNeverLoaded) {
  std::wstring archive = Pack(L"planted.bin", Sample(40000, 14), "pw");
  const std::wstring planted = orxtest::ModuleFolder() + L"\\orx_planted_dll.dll";
  const std::wstring names[] = {L"libcrypto-3.dll", L"libcrypto-3-x64.dll", L"bcrypt.dll"};
  for (const std::wstring& name : names) {
    ASSERT_TRUE(CopyFileW(planted.c_str(), (folder_ + L"\\" + name).c_str(), FALSE));
  }
  HKEY overrides;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &overrides, nullptr),
            ERROR_SUCCESS);
  const wchar_t kNativeFirst[] = L"native,builtin";
  RegSetValueExW(overrides, L"bcrypt", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                 sizeof kNativeFirst);
  const std::wstring log = root_ + L"\\planted.log", controlLog = root_ + L"\\control.log";
  SetEnvironmentVariableW(L"ORX_PLANT_LOG", log.c_str());
  {
    recipient::ArchiveRun run(archive, folder_);
    EXPECT_TRUE(run.ok());
    if (run.ok()) {
      run.EnterPassword(L"pw");
      EXPECT_EQ(run.Answer(IDNO).text, L"planted.bin" + Expected().decrypted);
      EXPECT_EQ(run.WaitForEnd(), 0);
    }
  }
  EXPECT_TRUE(recipient::WaitForCleanupTools());

  SetEnvironmentVariableW(L"ORX_PLANT_LOG", controlLog.c_str());
  std::wstring probe = folder_ + L"\\orx_load_probe.exe";
  CopyFileW((orxtest::ModuleFolder() + L"\\orx_load_probe.exe").c_str(), probe.c_str(), FALSE);
  orxtest::Process control = orxtest::Start(
      L"\"" + probe + L"\" libcrypto-3.dll libcrypto-3-x64.dll bcrypt.dll", folder_);
  int loaded = orxtest::WaitExit(control, 30000);
  orxtest::Close(control);
  RegDeleteValueW(overrides, L"bcrypt");
  RegCloseKey(overrides);
  SetEnvironmentVariableW(L"ORX_PLANT_LOG", nullptr);

  EXPECT_EQ(orxtest::ReadBytes(Output(L"planted.bin")), Sample(40000, 14));
  Bytes loads = orxtest::ReadBytes(log);
  EXPECT_TRUE(loads.empty()) << std::string(loads.begin(), loads.end());
  EXPECT_EQ(loaded, 3) << "the control did not load the planted DLLs";
  Bytes controlLoads = orxtest::ReadBytes(controlLog);
  EXPECT_EQ(std::count(controlLoads.begin(), controlLoads.end(), '\n'), 3)
      << std::string(controlLoads.begin(), controlLoads.end());
}

// The archive's zone information (the Zone.Identifier stream of a download;
// Wine keeps a stream as a sibling file "name:stream") is on the decrypted
// file already while it is offered for opening, whatever the record's size,
// the output's path or what became of the archive meanwhile; an archive
// without it gives none, and one too large to be a record stands for the
// internet zone.
TEST_F(ArchiveE2E, TheDecryptedFileKeepsTheArchivesZoneInformation) {
  const std::string record = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://mail.example/att\r\n";
  std::string longRecord = record + "ReferrerUrl=https://mail.example/?q=";
  longRecord.resize(5000, 'x');
  const std::string internet = "[ZoneTransfer]\r\nZoneId=3\r\n";
  // A name that puts the output's full path at 250 characters.
  const std::wstring longName = std::wstring(250 - folder_.size() - 1 - 4, L'z') + L".bin";
  struct Case {
    const char* name;
    std::string zone;     // the archive's stream; empty for none
    std::wstring stored;  // the stored name
    bool removeArchive;   // deleted while the dialog waits
    std::string expected;
  };
  const Case cases[] = {
      {"from the internet", record, L"zoned.bin", false, record},
      {"local", "", L"zoned.bin", false, ""},
      {"a record of 5,000 bytes", longRecord, L"zoned.bin", false, longRecord},
      {"a record too large to be one", std::string(70000, 'z'), L"zoned.bin", false, internet},
      {"an output path of 250 characters", record, longName, false, record},
      {"the archive removed while the dialog waits", record, L"zoned.bin", true, record},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring output = Output(c.stored);
    std::wstring archive = Pack(c.stored, Sample(3000, 15), "pw");
    DeleteFileW(output.c_str());
    DeleteFileW((output + L":Zone.Identifier").c_str());
    DeleteFileW((archive + L":Zone.Identifier").c_str());
    if (!c.zone.empty()) {
      ASSERT_TRUE(orxtest::WriteBytes(archive + L":Zone.Identifier", c.zone.data(), c.zone.size()));
    }
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    if (c.removeArchive) {
      ASSERT_TRUE(DeleteFileW(archive.c_str()));
      DeleteFileW((archive + L":Zone.Identifier").c_str());
    }
    run.EnterPassword(L"pw");
    HWND question = nullptr;
    run.NextMessage(&question);
    ASSERT_NE(question, nullptr);
    // Already while the open question shows.
    Bytes got = orxtest::ReadBytes(output + L":Zone.Identifier");
    EXPECT_EQ(std::string(got.begin(), got.end()), c.expected);
    orxtest::PressButton(question, IDNO);
    EXPECT_EQ(run.WaitForEnd(), 0);
    EXPECT_EQ(orxtest::ReadBytes(output), Sample(3000, 15));
    EXPECT_EQ(TempOutputs(folder_), 0);
  }
  EXPECT_EQ(Output(longName).size(), 250u);
}

// A decrypted file from the internet that cannot carry the mark is not
// opened: Yes says why and shows the file in its folder (explorer.exe
// /select, ended here once seen), and the file stays. Wine keeps a stream as
// a sibling file, so a name within 16 bytes of the 255-byte limit of a
// Linux name cannot have one (on FAT no file can). The same file without
// zone information is opened: the program registered for its type starts.
TEST_F(ArchiveE2E, AFileThatCannotBeMarkedIsNotOpened) {
  // 120 Cyrillic letters: 248 bytes of UTF-8 with the extension.
  const std::wstring name = std::wstring(120, L'\u0436') + L".orxopen";
  const std::string record = "[ZoneTransfer]\r\nZoneId=3\r\n";
  RecorderForType recorder(root_ + L"\\opened.log");
  for (bool zoned : {true, false}) {
    SCOPED_TRACE(zoned ? "from the internet" : "local");
    DeleteFileW(Output(name).c_str());
    std::wstring archive = Pack(name, Sample(100, 30), "pw");
    DeleteFileW((archive + L":Zone.Identifier").c_str());
    if (zoned) {
      ASSERT_TRUE(orxtest::WriteBytes(archive + L":Zone.Identifier", record.data(), record.size()));
    }
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    run.EnterPassword(L"pw");
    run.Answer(IDYES);
    if (zoned) {
      const std::wstring told = run.Answer(IDOK).text;
      EXPECT_NE(told.find(L"nternet"), std::wstring::npos) << orxtest::WideToUtf8(told);
    }
    EXPECT_EQ(run.WaitForEnd(), 0);
    EXPECT_EQ(orxtest::ReadBytes(Output(name)), Sample(100, 30));
    EXPECT_EQ(recorder.WaitForLine(zoned ? 3000 : 10000).empty(), zoned)
        << (zoned ? "an unmarked file was opened" : "the control was not opened");
    bool shown = false;
    for (int i = 0; zoned && i < 50 && !shown; ++i, Sleep(100)) {
      for (const std::wstring& line : recipient::CommandLinesOf(L"explorer.exe", L"/select,")) {
        shown = shown || line.find(name) != std::wstring::npos;
      }
    }
    EXPECT_EQ(shown, zoned) << "the file was not shown in its folder";
  }
}

// A wrong password ends the run and writes nothing; the same archive run
// again at once (the first run's cleanup tool still running from the
// Windows folder) asks again and opens with the right one.
TEST_F(ArchiveE2E, AWrongPasswordEndsTheRunAndARetryAtOnceWorks) {
  WrongThenRightAtOnce(Sample(9000, 18), [] {
    EXPECT_TRUE(recipient::PayloadFiles().empty()) << "the run's payload goes with it";
  });
  ASSERT_TRUE(recipient::WaitForCleanupTools());
  EXPECT_TRUE(recipient::PayloadFiles().empty());
}

// Two starts of one archive in quick succession: one dialog, and the second
// start ends silently through the decryptor's single-instance rule.
TEST_F(ArchiveE2E, TwoQuickStartsShowOneDialogAndNoMessage) {
  std::wstring archive = Pack(L"twice.bin", Sample(500, 19), "pw");
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  orxtest::Process second = orxtest::Start(L"\"" + archive + L"\"", folder_);
  EXPECT_EQ(orxtest::WaitExit(second, 30000), 0) << "the second stub";
  orxtest::Close(second);
  // The second decryptor waits for the first a few seconds, then ends; one
  // dialog all along, no message box.
  int mostDialogs = 0;
  for (int i = 0; i < 100 && recipient::CountProcesses(L"Orx_DecryptFile.exe") > 1; ++i) {
    int dialogs = 0;
    for (HWND w = FindWindowW(L"#32770", nullptr); w;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
      if (IsWindowVisible(w)) ++dialogs;
    }
    mostDialogs = std::max(mostDialogs, dialogs);
    Sleep(100);
  }
  EXPECT_EQ(recipient::CountProcesses(L"Orx_DecryptFile.exe"), 1);
  EXPECT_EQ(mostDialogs, 1) << "one dialog, no message box";
  run.EnterPassword(L"pw");
  run.Answer(IDNO);
  EXPECT_EQ(run.WaitForEnd(), 0);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"twice.bin")), Sample(500, 19));
}

// Cancel, then an archive again at once: the first decryptor's window is
// gone but its process still ends (it starts the cleanup tool); the next
// one waits for it and shows its dialog, for the same archive and another.
TEST_F(ArchiveE2E, CancelThenTheSameAndAnotherArchiveAtOnceEachShowTheirDialog) {
  std::wstring first = Pack(L"again.bin", Sample(2000, 27), "pw", kFormat2, L"first.exe");
  std::wstring other = Pack(L"other.bin", Sample(3000, 28), "pw2", Format1(256), L"other.exe");
  const std::wstring runs[] = {first, first, other};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE("run " + std::to_string(i + 1));
    recipient::ArchiveRun run(runs[i], folder_);
    ASSERT_TRUE(run.ok()) << "no dialog after Cancel at once";
    if (i < 2) {
      orxtest::PressButton(run.dialog(), IDCANCEL);
      ASSERT_TRUE(orxtest::WaitForWindowGone(run.dialog(), 5000));
      continue;  // the next archive at once, this decryptor still ending
    }
    run.EnterPassword(L"pw2");
    run.Answer(IDNO);
    EXPECT_EQ(run.WaitForEnd(), 0);
  }
  EXPECT_EQ(orxtest::ReadBytes(Output(L"other.bin")), Sample(3000, 28));
}

// A large payload retried at once after a wrong password: the first run's
// cleanup tool deletes the decryptor by name (0.5 s and 5.5 s after it
// starts) while the retry's stub is still copying tens of megabytes; the
// stub holds the decryptor it placed, so the retry still opens.
TEST_F(ArchiveE2E, ALargeArchiveRetriedAtOnceOpensWhileTheCleanupToolRuns) {
  const Bytes content = Sample(40u << 20, 29);
  std::wstring archive = Pack(L"large.bin", content, "right");
  ExpectOneMessage(archive, L"wrong", Expected().wrongPassword, BoxIcon::Warning);
  ASSERT_GE(recipient::CountProcesses(L"Orx_DelTool.exe"), 1) << "the retry is not at once";
  recipient::ArchiveRun again(archive, folder_);
  ASSERT_TRUE(again.ok()) << "the retry must start";
  again.EnterPassword(L"right");
  EXPECT_EQ(again.Answer(IDNO, 120000).text, L"large.bin" + Expected().decrypted);
  EXPECT_EQ(again.WaitForEnd(), 0);
  EXPECT_TRUE(orxtest::ReadBytes(Output(L"large.bin")) == content) << "not the original bytes";
}

// A long decryption shows its progress: the stored name, a bar in the
// product's colour that advances (a progress control, which screen readers
// read), the dialog's own Cancel label; it ends with the usual message.
// Cancelled half-way, after the recipient agreed to replace a file of that
// name, closed half-way, and told that the session ends (log-off,
// shutdown), it ends in silence: no output, no temporary file, that file as
// it was, and the cleanup tool started once, for the decryptor alone.
// Killed half-way (Task Manager, a crash) it leaves no plaintext and no
// payload copy either. One archive serves every run.
TEST_F(ArchiveE2E, ALongDecryptionShowsItsProgressAndCanBeCancelled) {
  const Bytes content = Sample(160u << 20, 30);  // about 3 s to decrypt under wine64
  std::wstring archive = Pack(L"progress.bin", content, "pw");
  {
    SCOPED_TRACE("to the end");
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    std::wstring cancelLabel = orxtest::ControlText(run.dialog(), IDCANCEL);
    run.EnterPassword(L"pw");
    HWND progress = WaitForProgress(run.pid());
    ASSERT_NE(progress, nullptr) << "no progress window";
    LRESULT first = BarPosition(progress);
    Sleep(500);
    LRESULT second = BarPosition(progress);
    EXPECT_EQ(orxtest::WindowText(progress), recipient::kCaption);
    EXPECT_EQ(orxtest::ControlText(progress, kProgressName), L"progress.bin");
    EXPECT_EQ(orxtest::ControlText(progress, IDCANCEL), cancelLabel);
    EXPECT_EQ(orxtest::ClassName(GetDlgItem(progress, kProgressBar)), L"msctls_progress32");
    EXPECT_GT(second, first) << "the bar did not advance";
    EXPECT_LT(second, BarEnd(progress));
    EXPECT_EQ(static_cast<COLORREF>(
                  SendMessageW(GetDlgItem(progress, kProgressBar), PBM_GETBARCOLOR, 0, 0)),
              kBarColor);
    std::wstring artifacts = orxtest::ModuleFolder() + L"\\..\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    EXPECT_TRUE(orxtest::SaveScreenshot(progress, artifacts + L"\\decryption_progress.bmp"));
    EXPECT_EQ(run.Answer(IDNO, 120000).text, L"progress.bin" + Expected().decrypted);
    EXPECT_FALSE(IsWindowVisible(progress)) << "the progress window outlived the work";
    EXPECT_EQ(run.WaitForEnd(), 0);
    EXPECT_TRUE(orxtest::ReadBytes(Output(L"progress.bin")) == content) << "not the original bytes";
  }
  const Bytes mine = Sample(1234, 31);
  enum class Stop { kCancel, kClose, kSessionEnd, kKill };
  for (Stop stop : {Stop::kCancel, Stop::kClose, Stop::kSessionEnd, Stop::kKill}) {
    const char* names[] = {"cancelled", "closed", "the session ends", "killed"};
    SCOPED_TRACE(names[static_cast<int>(stop)]);
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    ASSERT_TRUE(orxtest::WriteBytes(Output(L"progress.bin"), mine.data(), mine.size()));
    recipient::ArchiveRun run(archive, folder_);
    ASSERT_TRUE(run.ok());
    run.EnterPassword(L"pw");
    EXPECT_EQ(run.Answer(IDYES).text, Expected().overwrite);
    HWND progress = WaitForProgress(run.pid());
    ASSERT_NE(progress, nullptr) << "no progress window";
    EXPECT_EQ(TempOutputs(folder_), 1) << "the decryption writes no temporary output";
    if (stop == Stop::kClose) orxtest::CloseWindowLikeUser(progress);
    if (stop == Stop::kCancel) orxtest::PressButton(progress, IDCANCEL);
    if (stop == Stop::kSessionEnd) {
      EXPECT_EQ(SendMessageW(progress, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE)
          << "the decryption held the session up";
      SendMessageW(progress, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    }
    if (stop == Stop::kKill) {
      HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, run.pid());
      ASSERT_NE(process, nullptr);
      EXPECT_TRUE(TerminateProcess(process, 9));
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
      Sleep(500);
      EXPECT_EQ(TempOutputs(folder_), 0) << "unverified plaintext outlived the decryptor";
      EXPECT_TRUE(recipient::PayloadFiles().empty()) << "the run's payload outlived it";
      EXPECT_EQ(orxtest::ReadBytes(Output(L"progress.bin")), mine);
      DeleteFileW(Decryptor().c_str());  // no cleanup tool for a killed decryptor
      continue;
    }
    bool messageShown = false;
    int exitCode = -1;
    for (DWORD start = GetTickCount(); exitCode == -1 && GetTickCount() - start < 20000;) {
      for (HWND w : orxtest::VisibleWindowsOf(run.pid())) messageShown |= !!GetDlgItem(w, 0xFFFF);
      exitCode = run.WaitForEnd(20);
    }
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(messageShown) << "a message after Cancel";
    std::vector<std::wstring> cleanups = recipient::CommandLinesOf(L"Orx_DelTool.exe");
    ASSERT_EQ(cleanups.size(), 1u);
    EXPECT_NE(cleanups[0].find(L"\"" + Decryptor() + L"\""), std::wstring::npos)
        << orxtest::WideToUtf8(cleanups[0]);
    EXPECT_EQ(TempOutputs(folder_), 0);
    EXPECT_EQ(orxtest::ReadBytes(Output(L"progress.bin")), mine);
    EXPECT_TRUE(recipient::PayloadFiles().empty()) << "the run's payload stayed";
  }
  // Not left for the next run of the suite: hundreds of megabytes.
  DeleteFileW(archive.c_str());
  DeleteFileW((source_ + L"\\progress.bin").c_str());
}

// Work within the threshold shows nothing new: the stub places the payload
// without a window, and the decryptor goes from the dialog straight to the
// final message, with no other window in between.
TEST_F(ArchiveE2E, AShortArchiveGoesStraightToTheDialogAndTheMessage) {
  const Bytes content = Sample(8u << 20, 32);
  std::wstring archive = Pack(L"short.bin", content, "pw");
  std::atomic<bool> watching{true}, progressSeen{false};
  std::thread watcher([&] {
    while (watching) {
      if (AnyProgressWindow()) progressSeen = true;
      Sleep(1);
    }
  });
  recipient::ArchiveRun run(archive, folder_);
  ASSERT_TRUE(run.ok());
  run.EnterPassword(L"pw");
  orxtest::MessageBoxInfo box = run.Answer(IDNO);
  watching = false;
  watcher.join();
  EXPECT_FALSE(progressSeen) << "a progress window for short work";
  EXPECT_EQ(box.text, L"short.bin" + Expected().decrypted);
  EXPECT_EQ(run.WaitForEnd(), 0);
  EXPECT_TRUE(orxtest::ReadBytes(Output(L"short.bin")) == content);
}

// A large archive answers its double-click within about a second: the
// stub's progress window (the archive's name, a bar in the product's colour,
// the dialog's own Cancel label) while it copies the payload, then the
// password dialog. Two more starts of the same file meanwhile, one by
// another name (a hard link) before the window shows, one after the
// recipient turned to another window, place nothing and show nothing: each
// ends while the first still copies, the later one giving the first's
// window the foreground. Cancelled during the copy, a run ends with exit
// code 1, without a message, and leaves none of its files.
TEST_F(ArchiveE2E, ALargeArchiveAnswersWithinASecondAndCanBeCancelled) {
  if (!RoomForALargeArchive()) GTEST_SKIP() << "less than 5 GiB free for a 2 GiB payload copy";
  std::wstring archive = Pack(L"film.mkv", Sample(1000, 33), "pw");
  // What a first window costs Wine here, a process start and its graphics
  // (more on a busy machine): the message box of a cut archive, at once.
  std::wstring cut = root_ + L"\\cut.exe";
  ASSERT_TRUE(orxtest::WriteBytes(cut, orxtest::ReadBytes(archive).data(), 30000));
  DWORD boxStart = GetTickCount();
  orxtest::Process cutRun = orxtest::Start(L"\"" + cut + L"\"", folder_);
  HWND box = orxtest::WaitForWindow(L"Orvanta", L"#32770", 20000, cutRun.pid);
  DWORD boxMs = GetTickCount() - boxStart;
  ASSERT_NE(box, nullptr);
  orxtest::PressButton(box, IDOK);
  EXPECT_EQ(orxtest::WaitExit(cutRun), 1);
  orxtest::Close(cutRun);

  ASSERT_TRUE(ExtendTo(archive, kLargeArchive));
  std::wstring link = root_ + L"\\film (1).exe";
  ASSERT_TRUE(CreateHardLinkW(link.c_str(), archive.c_str(), nullptr));
  DeleteFileW(recipient::CleanupTool().c_str());
  {
    SCOPED_TRACE("to the dialog");
    DWORD start = GetTickCount();
    orxtest::Process first = orxtest::Start(L"\"" + archive + L"\"", folder_);
    // The first run holds the archive from before it places the decryptor.
    while (!orxtest::FileExists(Decryptor()) && GetTickCount() - start < 10000) Sleep(5);
    orxtest::Process early = orxtest::Start(L"\"" + link + L"\"", folder_);
    HWND window = WaitForStubWindow(first);
    DWORD shownMs = GetTickCount() - start;
    ASSERT_NE(window, nullptr) << "no window while the payload is copied";
    // About a second later than a window can come at all.
    EXPECT_LE(shownMs, boxMs + 2000) << "the window came late; a message box took " << boxMs;
    std::printf("the stub's window showed %lu ms after the start, a message box %lu ms\n",
                shownMs, boxMs);
    std::wstring cancelLabel = orxtest::ControlText(window, IDCANCEL);
    EXPECT_EQ(orxtest::WindowText(window), recipient::kCaption);
    EXPECT_EQ(orxtest::ControlText(window, kProgressName), L"archive.exe");
    RECT bar = BarRect(window);
    Sleep(300);
    EXPECT_EQ(orxtest::ScreenPixel(window, bar.left + 1, (bar.top + bar.bottom) / 2), kBarColor);
    EXPECT_NE(orxtest::ScreenPixel(window, bar.right - 2, (bar.top + bar.bottom) / 2), kBarColor)
        << "the bar is full while the copy goes on";
    std::wstring artifacts = orxtest::ModuleFolder() + L"\\..\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    EXPECT_TRUE(orxtest::SaveScreenshot(window, artifacts + L"\\archive_progress.bmp"));

    HWND elsewhere = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                     100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(elsewhere);
    EXPECT_EQ(GetForegroundWindow(), elsewhere);
    orxtest::Process late = orxtest::Start(L"\"" + archive + L"\"", folder_);
    bool earlyShowed = false, lateShowed = false;
    EXPECT_EQ(WaitExitWatching(early, 20000, &earlyShowed), 0);
    EXPECT_EQ(WaitExitWatching(late, 20000, &lateShowed), 0);
    EXPECT_EQ(WaitForSingleObject(first.handle, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the first run ended before the others: they may have copied too";
    EXPECT_FALSE(earlyShowed);
    EXPECT_FALSE(lateShowed);
    // The first run activates its window when it next looks after it.
    for (int i = 0; i < 50 && GetForegroundWindow() != window; ++i) Sleep(20);
    EXPECT_EQ(GetForegroundWindow(), window) << "the first run's window was not brought forward";
    DestroyWindow(elsewhere);
    orxtest::Close(early);
    orxtest::Close(late);

    EXPECT_EQ(orxtest::WaitExit(first, 300000), 0);
    orxtest::Close(first);
    HWND dialog = orxtest::WaitForWindow(recipient::kCaption, L"#32770", 20000);
    ASSERT_NE(dialog, nullptr) << "no password dialog";
    EXPECT_NE(GetDlgItem(dialog, 1000), nullptr) << "not the password dialog";
    EXPECT_EQ(orxtest::ControlText(dialog, IDCANCEL), cancelLabel);
    std::vector<std::wstring> payloads = recipient::PayloadFiles();
    ASSERT_EQ(payloads.size(), 1u) << "one payload copy for three starts";
    EXPECT_EQ(FileSize(payloads[0]), kLargeArchive - 78336);
    orxtest::PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(orxtest::WaitForWindowGone(dialog, 5000));
  }
  {
    SCOPED_TRACE("cancelled during the copy");
    // Nothing of the first run left that the next one would keep.
    for (int i = 0; i < 100 && recipient::CountProcesses(L"Orx_DecryptFile.exe") > 0; ++i) Sleep(100);
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    ASSERT_FALSE(orxtest::FileExists(Decryptor()));
    for (const std::wstring& payload : recipient::PayloadFiles()) DeleteFileW(payload.c_str());
    ASSERT_TRUE(DeleteFileW(recipient::CleanupTool().c_str()));
    orxtest::Process run = orxtest::Start(L"\"" + archive + L"\"", folder_);
    HWND window = WaitForStubWindow(run);
    ASSERT_NE(window, nullptr) << "no window while the payload is copied";
    orxtest::PressButton(window, IDCANCEL);
    bool messageShown = false;
    EXPECT_EQ(WaitExitWithoutMessage(run, 20000, &messageShown), 1);
    orxtest::Close(run);
    EXPECT_FALSE(messageShown) << "a message after Cancel";
    EXPECT_TRUE(recipient::PayloadFiles().empty());
    EXPECT_FALSE(orxtest::FileExists(Decryptor()));
    EXPECT_FALSE(orxtest::FileExists(recipient::CleanupTool()));
    EXPECT_EQ(recipient::CountProcesses(L"Orx_DecryptFile.exe"), 0);
  }
  // Not left for the next run of the suite.
  DeleteFileW(link.c_str());
  DeleteFileW(archive.c_str());
  for (const std::wstring& payload : recipient::PayloadFiles()) DeleteFileW(payload.c_str());
}

// A manifest planted beside a program ("<program>.exe.manifest") is read by
// the loader before any of the program's code runs and can send DLL names
// to the download folder, past every search restriction. Wine honours such
// a file like Windows: the control, a program without an embedded
// manifest, loads the planted DLL through it; the same program with the
// archive's embedded manifest (which the static checks require of the stub,
// the decryptor and the cleanup tool) does not.
TEST_F(ArchiveE2E, AManifestPlantedBesideAProgramIsIgnoredWhenItHasItsOwn) {
  const std::wstring planted = L"orx_redirected.dll";
  ASSERT_TRUE(CopyFileW((orxtest::ModuleFolder() + L"\\orx_planted_dll.dll").c_str(),
                        (folder_ + L"\\" + planted).c_str(), FALSE));
  const std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
      "<assemblyIdentity type=\"win32\" name=\"Planted\" version=\"1.0.0.0\" "
      "processorArchitecture=\"amd64\"/>\r\n<file name=\"orx_redirected.dll\"/>\r\n</assembly>\r\n";
  int loaded[2] = {-1, -1};
  const wchar_t* probes[] = {L"orx_load_probe.exe", L"orx_load_probe_manifested.exe"};
  for (int i = 0; i < 2; ++i) {
    std::wstring probe = folder_ + L"\\" + probes[i];
    ASSERT_TRUE(CopyFileW((orxtest::ModuleFolder() + L"\\" + probes[i]).c_str(), probe.c_str(),
                          FALSE));
    ASSERT_TRUE(orxtest::WriteBytes(probe + L".manifest", manifest.data(), manifest.size()));
    orxtest::Process p = orxtest::Start(L"\"" + probe + L"\" --system-only " + planted, folder_);
    loaded[i] = orxtest::WaitExit(p, 30000);
    orxtest::Close(p);
  }
  EXPECT_EQ(loaded[0], 1) << "the control did not load through the planted manifest";
  EXPECT_EQ(loaded[1], 0) << "an embedded manifest did not keep the planted one out";
}

// The archive as most recipients run it: without administrator rights, so
// that the Windows folder refuses new files and the cleanup tool and the
// payload go into the recipient's own folder under the user's temporary
// folder. This suite runs as such a user (wine-run.sh --user); the other
// suites run with full rights and keep the Windows folder's paths.
class StandardUserE2E : public ArchiveE2E {
 protected:
  void SetUp() override {
    ArchiveE2E::SetUp();
    HANDLE probe = CreateFileW((orxtest::WindowsFolder() + L"\\orx-probe.tmp").c_str(),
                               GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE,
                               nullptr);
    DWORD error = GetLastError();
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    ASSERT_EQ(probe, INVALID_HANDLE_VALUE) << "must run as a user who may not write the Windows folder";
    ASSERT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    userFolder_ = std::wstring(temp) + L"Orx_Decrypt";
  }

  // Names in the recipient's own folder.
  std::vector<std::wstring> UserFolderFiles() const { return orxtest::FileNames(userFolder_); }


  // Once the cleanup tools have ended: nothing but the cleanup tool's own
  // file, in the recipient's folder, and no copy of the payload anywhere.
  void ExpectOnlyTheCleanupToolLeft() {
    ASSERT_TRUE(recipient::WaitForCleanupTools());
    EXPECT_EQ(UserFolderFiles(), std::vector<std::wstring>{L"Orx_DelTool.exe"});
    EXPECT_TRUE(recipient::PayloadFiles().empty());
    EXPECT_FALSE(orxtest::FileExists(recipient::CleanupTool()));
    EXPECT_FALSE(orxtest::FileExists(Decryptor()));
    EXPECT_EQ(TempOutputs(folder_), 0);
  }

  // The system's text for an error, as the stub shows it.
  static std::wstring SystemText(DWORD error) {
    wchar_t text[1024] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, 1024, nullptr);
    return text;
  }

  std::wstring userFolder_;
};

// What `orx pack --archive` makes by default, format 2 at its default cost,
// opens with a passphrase in three scripts typed into the real dialog
// (Cyrillic, CJK from U+4E00, whose low byte format 1 would take as the
// end, and an emoji as a surrogate pair); one letter off is a wrong
// password.
TEST_F(StandardUserE2E, AFormat2ArchiveAtTheDefaultCostOpensWithAPassphraseInAnyScript) {
  const std::wstring passphrase =
      L"\u043F\u0430\u0440\u043E\u043B\u044C \u4E00\u4E8C\u4E09 \U0001F511";
  std::wstring oneLetterOff = passphrase;
  oneLetterOff[0] = L'\u0440';
  Bytes content = Sample(50000, 26);
  std::wstring archive = Pack(L"contract.pdf", content, orxtest::WideToUtf8(passphrase),
                              kFormat2AtTheDefaultCost);
  Bytes head = orxtest::ReadBytes(archive);
  ASSERT_GT(head.size(), 0x13200u + 16);
  EXPECT_EQ(std::string(head.begin() + 0x13200, head.begin() + 0x13204), "ORXP");
  const unsigned char* cost = head.data() + 0x13200 + 12;
  EXPECT_EQ(cost[0] | cost[1] << 8 | cost[2] << 16 | cost[3] << 24, 600000) << "the default cost";
  ExpectOneMessage(archive, oneLetterOff, Expected().wrongPassword, BoxIcon::Warning);
  ASSERT_TRUE(recipient::WaitForCleanupTools());
  EXPECT_EQ(DecryptWithoutOpening(archive, passphrase), L"contract.pdf" + Expected().decrypted);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"contract.pdf")), content);
  ExpectOnlyTheCleanupToolLeft();
}

TEST_F(StandardUserE2E, DecryptsVerifiesAndLeavesOnlyTheCleanupTool) {
  Bytes content = Sample(70000, 21);
  std::wstring archive = Pack(L"budget.xlsx", content, "s3cret");
  EXPECT_EQ(DecryptWithoutOpening(archive, L"s3cret"), L"budget.xlsx" + Expected().decrypted);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"budget.xlsx")), content);
  ExpectOnlyTheCleanupToolLeft();
}

// A wrong password, then the archive again at once: the first run's
// cleanup tool still runs from the recipient's folder, its payload is gone;
// the retry keeps the one and writes its own payload.
TEST_F(StandardUserE2E, AWrongPasswordThenTheRightOneAtOnce) {
  WrongThenRightAtOnce(Sample(9000, 22), [this] {
    EXPECT_EQ(UserFolderFiles(), (std::vector<std::wstring>{L"Orx_DelTool.exe"}));
  });
  ExpectOnlyTheCleanupToolLeft();
}

// One archive of each format: the same decryptor code reads both.
TEST_F(StandardUserE2E, TwoArchivesOneAfterTheOther) {
  std::wstring first = Pack(L"first.bin", Sample(30000, 23), "one", kFormat2, L"first.exe");
  std::wstring second = Pack(L"second.bin", Sample(40000, 24), "two", Format1(128), L"second.exe");
  EXPECT_EQ(DecryptWithoutOpening(first, L"one"), L"first.bin" + Expected().decrypted);
  EXPECT_EQ(DecryptWithoutOpening(second, L"two"), L"second.bin" + Expected().decrypted);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"first.bin")), Sample(30000, 23));
  EXPECT_EQ(orxtest::ReadBytes(Output(L"second.bin")), Sample(40000, 24));
  ExpectOnlyTheCleanupToolLeft();
}

// A Persian name, its plural spelt with a zero-width non-joiner as the
// Persian keyboard types it (Shift+Space), is a name like any other: packed,
// decrypted through the real dialog, named so in the message and on disk.
TEST_F(StandardUserE2E, APersianNameWithItsNonJoinerIsDecrypted) {
  const std::wstring name = L"\u06AF\u0632\u0627\u0631\u0634\u200C\u0647\u0627.pdf";
  Bytes content = Sample(20000, 40);
  std::wstring archive = Pack(name, content, "pw");
  EXPECT_EQ(DecryptWithoutOpening(archive, L"pw"), name + Expected().decrypted);
  EXPECT_EQ(orxtest::ReadBytes(Output(name)), content);
  ExpectOnlyTheCleanupToolLeft();
}

// The recipient opens a second archive while the first one's question
// ("Would you want to open it?") is still shown, then answers it: the
// second decryptor waits for the first to end, and each reads and removes
// its own payload, so that both files come out right.
TEST_F(StandardUserE2E, TwoArchivesOpenedWhileTheFirstAsksAreBothDecrypted) {
  std::wstring first = Pack(L"first.bin", Sample(30000, 41), "one", kFormat2, L"first.exe");
  std::wstring second = Pack(L"second.bin", Sample(40000, 42), "two", kFormat2, L"second.exe");
  recipient::ArchiveRun run(first, folder_);
  ASSERT_TRUE(run.ok());
  run.EnterPassword(L"one");
  HWND question = nullptr;
  EXPECT_EQ(run.NextMessage(&question).text, L"first.bin" + Expected().decrypted);
  ASSERT_NE(question, nullptr);
  orxtest::Process stub = orxtest::Start(L"\"" + second + L"\"", folder_);
  EXPECT_EQ(orxtest::WaitExit(stub, 30000), 0) << "the second archive's stub";
  orxtest::Close(stub);
  orxtest::PressButton(question, IDNO);
  EXPECT_EQ(run.WaitForEnd(), 0);
  recipient::ArchiveRun next(orxtest::WaitForWindow(recipient::kCaption, L"#32770", 20000));
  ASSERT_TRUE(next.ok()) << "no dialog for the second archive";
  EXPECT_EQ(orxtest::WindowText(next.dialog()), recipient::kCaption);
  next.EnterPassword(L"two");
  EXPECT_EQ(next.Answer(IDNO).text, L"second.bin" + Expected().decrypted);
  EXPECT_EQ(next.WaitForEnd(), 0);
  EXPECT_EQ(orxtest::ReadBytes(Output(L"first.bin")), Sample(30000, 41));
  EXPECT_EQ(orxtest::ReadBytes(Output(L"second.bin")), Sample(40000, 42));
  ExpectOnlyTheCleanupToolLeft();
}

// Closed during the copy, a large archive ends in silence with exit code 1
// and leaves nothing of its run in the recipient's own folder: neither the
// partial payload nor the cleanup tool it wrote there.
TEST_F(StandardUserE2E, ALargeArchiveClosedDuringTheCopyLeavesNothing) {
  if (!RoomForALargeArchive()) GTEST_SKIP() << "less than 5 GiB free for a 2 GiB payload copy";
  std::wstring archive = Pack(L"disk.img", Sample(1000, 34), "pw");
  ASSERT_TRUE(ExtendTo(archive, kLargeArchive));
  DeleteFileW((userFolder_ + L"\\Orx_DelTool.exe").c_str());
  std::vector<std::wstring> before = UserFolderFiles();
  orxtest::Process run = orxtest::Start(L"\"" + archive + L"\"", folder_);
  HWND window = WaitForStubWindow(run);
  ASSERT_NE(window, nullptr) << "no window while the payload is copied";
  EXPECT_EQ(FileSize(userFolder_ + L"\\Orx_DelTool.exe"), 0x3000u) << "placed before the payload";
  orxtest::CloseWindowLikeUser(window);
  bool messageShown = false;
  EXPECT_EQ(WaitExitWithoutMessage(run, 20000, &messageShown), 1);
  orxtest::Close(run);
  EXPECT_FALSE(messageShown) << "a message after Close";
  EXPECT_EQ(UserFolderFiles(), before);
  EXPECT_FALSE(orxtest::FileExists(Decryptor()));
  EXPECT_EQ(recipient::CountProcesses(L"Orx_DecryptFile.exe"), 0);
  DeleteFileW(archive.c_str());
}

// An archive that cannot place its files says which file or folder and why,
// in the system's words, and writes nothing anywhere:
// - opened where the recipient may not write (a read-only share, a
//   protected stick; the harness's C:\\orx-readonly);
// - with a temporary folder others can write to (TMP pointed at the Windows
//   folder's temp), where someone else made a folder at the name of the
//   recipient's own folder, open to everyone (made by the harness as root).
TEST_F(StandardUserE2E, ARefusedStartSaysWhyAndWritesNothing) {
  const std::wstring readOnly = L"C:\\orx-readonly";
  const std::wstring shared = orxtest::WindowsFolder() + L"\\temp";
  const std::wstring planted = shared + L"\\Orx_Decrypt";
  ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES);
  struct Case {
    const char* name;
    std::wstring folder, tmp, what, path;
  };
  const Case cases[] = {
      {"a folder the recipient may not write", readOnly, L"",
       L"The archive cannot write this file:", readOnly + L"\\Orx_DecryptFile.exe"},
      {"someone else's folder at the name", folder_, shared, L"The archive cannot use this folder:",
       planted},
  };
  std::wstring archive = Pack(L"kept-out.bin", Sample(5000, 25), "pw");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> before = UserFolderFiles();
    if (!c.tmp.empty()) SetEnvironmentVariableW(L"TMP", c.tmp.c_str());
    orxtest::Process stub = orxtest::Start(L"\"" + archive + L"\"", c.folder);
    SetEnvironmentVariableW(L"TMP", nullptr);
    HWND box = orxtest::WaitForWindow(L"Orvanta", L"#32770", 20000, stub.pid);
    ASSERT_NE(box, nullptr) << "the archive ended in silence";
    orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(box);
    orxtest::PressButton(box, IDOK);
    EXPECT_EQ(orxtest::WaitExit(stub, 15000), 1);
    orxtest::Close(stub);
    EXPECT_EQ(info.text, c.what + L"\n" + c.path + L"\n\n" + SystemText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(info.icon, BoxIcon::Error);
    EXPECT_EQ(info.buttons, std::vector<int>{IDOK});
    for (const std::wstring& nothing :
         {c.folder + L"\\Orx_DecryptFile.exe", planted + L"\\Orx_DelTool.exe",
          planted + L"\\Orx_Decrypt.tmp"}) {
      EXPECT_FALSE(orxtest::FileExists(nothing)) << orxtest::WideToUtf8(nothing);
    }
    EXPECT_TRUE(recipient::PayloadFiles().empty());
    EXPECT_TRUE(orxtest::FileNames(planted, L"Orx_Decrypt_*").empty());
    EXPECT_EQ(UserFolderFiles(), before);
    EXPECT_EQ(recipient::CountProcesses(L"Orx_DecryptFile.exe"), 0);
  }
}

}  // namespace
