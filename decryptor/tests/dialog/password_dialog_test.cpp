// The real password dialog (same code and resources as the decryptor),
// hosted in this program: DoModal runs on the main thread while a second
// thread drives the window as a person would. The cleanup tool's place holds
// the recorder, which logs how it was started.
//
// Arguments (after GoogleTest's): --lang 0xNNNN, the system language id the
// run is meant to see (the test's LANG), 0x0409 by default.
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "cleanup_launch.h"
#include "cleanup_recorder.h"
#include "launch.h"
#include "localized_texts.h"
#include "orxtest/driver.h"
#include "password_dialog.h"
#include "texts.h"

namespace {

using dialogtest::CleanupRecorder;
using dialogtest::OwnPath;
using dialogtest::Start;

constexpr wchar_t kCaption[] = L"Tavrel Orvanta Management";
unsigned g_expectedLangId = 0x0409;

struct Expected {
  unsigned langId;
  const wchar_t* tag;
  const wchar_t* title;
  const wchar_t* prompt;
  const wchar_t* noteFirstLine;
  const wchar_t* ok;
  const wchar_t* cancel;
};
// Written out here as a recipient reads them, independently of the tables.
const Expected kExpected[] = {
    {0x0409, L"en", L"Decryption", L"Enter the password :", L"Note:", L"Ok", L"Cancel"},
    {0x0407, L"de", L"Entschlüsselung", L"Kennwort eingeben:", L"Hinweis:", L"OK", L"Abbrechen"},
    {0x0404, L"zh_TW", L"檔案解密", L"輸入密碼：", L"注意事項：", L"確認", L"取消"},
    {0x0804, L"zh_CN", L"文件解密", L"输入密码：", L"注意事项：", L"确定", L"取消"},
    {0x0816, L"pt_PT", L"Desencriptação", L"Introduza a senha :", L"Nota:", L"OK", L"Cancelar"},
};

const Expected* ExpectedForRun() {
  for (const Expected& e : kExpected)
    if (e.langId == g_expectedLangId) return &e;
  return nullptr;
}

// Runs the dialog modally on this thread while `drive` works on its window
// from another; returns DoModal's result.
INT_PTR RunDialog(orx::PasswordDialog& dialog, const std::function<void(HWND)>& drive) {
  DWORD pid = GetCurrentProcessId();
  std::thread driver([&] {
    HWND window = orxtest::WaitForWindow(kCaption, L"#32770", orxtest::kDefaultTimeoutMs, pid);
    if (window) drive(window);
    if (window && !orxtest::WaitForWindowGone(window, 5000)) {
      ADD_FAILURE() << "the dialog did not end; closing it";
      EndDialog(window, -2);
    }
  });
  INT_PTR result = dialog.DoModal();
  driver.join();
  return result;
}

HWND FocusOf(DWORD threadId) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(threadId, &info);
  return info.hwndFocus;
}

void ExpectOneStartForOwnPath(const std::vector<Start>& starts, size_t count) {
  ASSERT_EQ(starts.size(), count);
  std::wstring quoted = L"\"" + OwnPath() + L"\"";
  for (const Start& s : starts) {
    ASSERT_EQ(s.args.size(), 2u) << s.commandLine;
    EXPECT_EQ(_wcsicmp(s.args[1].c_str(), OwnPath().c_str()), 0) << s.commandLine;
    EXPECT_NE(s.commandLine.find(quoted), std::wstring::npos) << s.commandLine;
    EXPECT_EQ(s.showWindow, SW_HIDE) << s.commandLine;
    EXPECT_EQ(_wcsicmp(s.args[0].c_str(), (orxtest::WindowsFolder() + L"\\Orx_DelTool.exe").c_str()), 0)
        << s.commandLine;
  }
}

class PasswordDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(recorder_.installed()); }
  // What the program does first: holds the tool it will start. Only in the
  // tests that start it, which lets go of it.
  static void Hold() { ASSERT_TRUE(orx::HoldCleanupTool(orx::Launch())) << "the recorder"; }
  CleanupRecorder recorder_;
};

TEST_F(PasswordDialogTest, ShowsItsLanguageAndNeverThePlaceholders) {
  const Expected* expected = ExpectedForRun();
  ASSERT_NE(expected, nullptr) << "no expectations for this language id";
  ASSERT_EQ(GetSystemDefaultLangID(), expected->langId) << "the run's locale is not in place";
  Hold();
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  DWORD mainThread = GetCurrentThreadId();
  INT_PTR result = RunDialog(dialog, [&](HWND w) {
    EXPECT_EQ(orxtest::WindowText(w), kCaption);
    std::wstring title = orxtest::ControlText(w, 1003);
    std::wstring prompt = orxtest::ControlText(w, 1002);
    std::wstring note = orxtest::ControlText(w, 1001);
    EXPECT_EQ(title, expected->title);
    EXPECT_EQ(prompt, expected->prompt);
    EXPECT_EQ(note.substr(0, note.find(L'\n')), expected->noteFirstLine);
    EXPECT_NE(note.find(L'\n'), std::wstring::npos);
    EXPECT_EQ(orxtest::ControlText(w, IDOK), expected->ok);
    EXPECT_EQ(orxtest::ControlText(w, IDCANCEL), expected->cancel);
    // The template's texts are replaced before the window is shown.
    EXPECT_NE(prompt, L"Enter the password:");
    EXPECT_EQ(note.find(L"encrypted,"), std::wstring::npos);
    EXPECT_EQ(orxtest::ControlText(w, IDOK).find(L'&'), std::wstring::npos);
    // The password box has the focus.
    EXPECT_EQ(FocusOf(mainThread), GetDlgItem(w, 1000));
    // Icon 128 (empty) in the title bar, and as the drag icon.
    LRESULT big = SendMessageW(w, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(big, 0);
    EXPECT_EQ(SendMessageW(w, WM_GETICON, ICON_SMALL, 0), big);
    EXPECT_EQ(SendMessageW(w, WM_QUERYDRAGICON, 0, 0), big);
    orxtest::PressButton(w, IDCANCEL);
  });
  EXPECT_EQ(result, IDCANCEL);
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(1), 1);
}

TEST_F(PasswordDialogTest, PasswordBoxMasksStopsAtItsLimitsAndOkTakesIt) {
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  DWORD mainThread = GetCurrentThreadId();
  INT_PTR result = RunDialog(dialog, [&](HWND w) {
    HWND box = GetDlgItem(w, 1000);
    EXPECT_NE(SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(SendMessageW(box, EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & ES_AUTOHSCROLL, 0);
    // Typing stops when the masked text fills the box, well before 255.
    orxtest::TypeText(box, std::wstring(300, L'x'));
    Sleep(300);
    int typed = GetWindowTextLengthW(box);
    EXPECT_GT(typed, 5);
    EXPECT_LT(typed, 255);
    // A longer text put in by a program is refused by OK: the dialog stays.
    orxtest::SetText(box, std::wstring(256, L'y'));
    orxtest::PressButton(w, IDOK);
    Sleep(500);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(FocusOf(mainThread), box);
    orxtest::SetText(box, std::wstring(255, L'z'));
    orxtest::PressKey(box, VK_RETURN);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(std::wstring(dialog.m_strPassword.value), std::wstring(255, L'z'));
  EXPECT_TRUE(recorder_.WaitForStarts(1, 2000).empty()) << "OK leaves the cleanup to the confirm path";
}

TEST_F(PasswordDialogTest, EnterOnAnEmptyBoxIsOk) {
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  INT_PTR result = RunDialog(dialog, [](HWND w) { orxtest::PressKey(GetDlgItem(w, 1000), VK_RETURN); });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.m_strPassword.value[0], 0);
}

TEST_F(PasswordDialogTest, EscCancelsAndStartsTheCleanupOnce) {
  Hold();
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  INT_PTR result = RunDialog(dialog, [](HWND w) { orxtest::PressKey(GetDlgItem(w, 1000), VK_ESCAPE); });
  EXPECT_EQ(result, IDCANCEL);
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(1), 1);
}

// Close cancels too; the tool, started once, is held no longer, so the
// second call on the way out starts nothing.
TEST_F(PasswordDialogTest, CloseCancelsAndStartsTheCleanupOnce) {
  Hold();
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  INT_PTR result = RunDialog(dialog, [](HWND w) { orxtest::CloseWindowLikeUser(w); });
  EXPECT_EQ(result, IDCANCEL);
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(2), 1);
}

// Screen pixels: the band behind the title, white title text, white behind
// the prompt and the note. The screenshot is kept under <build>/artifacts.
TEST_F(PasswordDialogTest, LooksAsDesigned) {
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  RunDialog(dialog, [&](HWND w) {
    Sleep(500);  // let the first paint reach the screen
    const Expected* expected = ExpectedForRun();
    std::wstring folder = dialogtest::BuildPath(L"artifacts");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring shot = folder + L"\\password_dialog_" + (expected ? expected->tag : L"other") + L".bmp";
    EXPECT_TRUE(orxtest::SaveScreenshot(w, shot)) << orxtest::WideToUtf8(shot);

    auto rectOf = [&](int id) {
      RECT r;
      GetWindowRect(GetDlgItem(w, id), &r);
      MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    const COLORREF band = RGB(0, 80, 71), white = RGB(255, 255, 255);
    RECT title = rectOf(1003);
    // Band colour beside the title text and on the picture left of it.
    EXPECT_EQ(orxtest::ScreenPixel(w, title.right - 2, title.bottom - 2), band);
    EXPECT_EQ(orxtest::ScreenPixel(w, 3, 3), band);
    int inkPixels = 0;
    for (int y = title.top; y < title.bottom; y += 1)
      for (int x = title.left; x < title.left + 60; x += 1)
        if (orxtest::ScreenPixel(w, x, y) == white) ++inkPixels;
    EXPECT_GT(inkPixels, 20) << "white title text";
    RECT prompt = rectOf(1002), note = rectOf(1001);
    EXPECT_EQ(orxtest::ScreenPixel(w, prompt.right - 2, prompt.top + 1), white);
    EXPECT_EQ(orxtest::ScreenPixel(w, note.right - 2, note.bottom - 2), white);
    // Most of the note label is its white background, whatever the glyphs.
    int samples = 0, whites = 0;
    for (int y = note.top + 1; y < note.bottom - 1; y += 4)
      for (int x = note.left + 1; x < note.right - 1; x += 4, ++samples)
        if (orxtest::ScreenPixel(w, x, y) == white) ++whites;
    EXPECT_GT(whites * 2, samples) << whites << " of " << samples << " white";
    // The picture's white below the band, right of the padlock.
    EXPECT_EQ(orxtest::ScreenPixel(w, 3, 150), RGB(254, 254, 254));
    orxtest::PressButton(w, IDCANCEL);
  });
}

LANGID WINAPI GermanSystemLangId() { return 0x0407; }

// Wine gives the system and the user one language id. With a system id of
// its own, German, while the user's stays this run's, the dialog takes the
// system's language.
TEST(LanguageChoiceTest, TheDialogTakesTheSystemLanguageNotTheUsers) {
  ASSERT_NE(GetUserDefaultLangID(), 0x0407);
  orx::PasswordDialog dialog(GermanSystemLangId);
  EXPECT_EQ(orx::kGerman, dialog.m_nLanguage);
}

// The payload a decryptor reads and removes: a run's own name only in the
// exact shape the stub makes, and only in one of the two folders; anything
// else in its place, or nothing, means the fixed name of older archives.
TEST(LaunchTest, TakesARunsPayloadNameOnlyInTheStubsShape) {
  wchar_t windows[MAX_PATH], own[MAX_PATH];
  ASSERT_TRUE(archive::WindowsFolder(windows));
  ASSERT_TRUE(archive::UserFolder(own));
  const std::wstring inTemp = std::wstring(windows) + L"\\temp\\";
  const std::wstring inOwn = std::wstring(own) + L"\\";
  const struct {
    const wchar_t* folder;
    const wchar_t* name;  // null: started without one
    std::wstring payload;
  } rows[] = {
      {L"C:\\any", L"Orx_Decrypt_0F3A9C21.tmp", inTemp + L"Orx_Decrypt_0F3A9C21.tmp"},
      {own, L"Orx_Decrypt_0F3A9C21.tmp", inOwn + L"Orx_Decrypt_0F3A9C21.tmp"},
      {own, nullptr, inOwn + L"Orx_Decrypt.tmp"},
      {L"C:\\any", L"Orx_Decrypt_0f3a9c21.tmp", inTemp + L"Orx_Decrypt.tmp"},
      {L"C:\\any", L"Orx_Decrypt_0F3A9C2.tmp", inTemp + L"Orx_Decrypt.tmp"},
      {L"C:\\any", L"Orx_Decrypt_0F3A9C21.tmp.exe", inTemp + L"Orx_Decrypt.tmp"},
      {own, L"..\\Orx_Decrypt_0F3A9C21.tmp", inOwn + L"Orx_Decrypt.tmp"},
      {own, L"Orx_Decrypt_0F3A9C21.tmp:x", inOwn + L"Orx_Decrypt.tmp"},
      {L"C:\\any", L"C:\\x\\Orx_Decrypt_0F3A9C21.tmp", inTemp + L"Orx_Decrypt.tmp"},
  };
  for (const auto& row : rows) {
    wchar_t* args[] = {const_cast<wchar_t*>(L"d.exe"), const_cast<wchar_t*>(L"C:\\a.exe"),
                       const_cast<wchar_t*>(row.folder), const_cast<wchar_t*>(row.name)};
    orx::ArchiveFiles files;
    ASSERT_TRUE(orx::LocateArchiveFiles(orx::ParseLaunch(args, row.name ? 4 : 3), &files));
    EXPECT_EQ(files.payload, row.payload) << (row.name ? orxtest::WideToUtf8(row.name) : "none");
  }
}

class CleanupLaunchTest : public PasswordDialogTest {};

TEST_F(CleanupLaunchTest, ExtraPathFirstThenOwnPathEachQuoted) {
  Hold();
  orx::LaunchCleanup(L"C:\\some folder\\decrypted file.txt");
  std::vector<Start> starts = recorder_.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  // Two processes race to the log, so their lines may come in either order.
  int extra = starts[0].args.size() == 2 && starts[0].args[1] == L"C:\\some folder\\decrypted file.txt" ? 0 : 1;
  ASSERT_EQ(starts[extra].args.size(), 2u) << starts[extra].commandLine;
  EXPECT_EQ(starts[extra].args[1], L"C:\\some folder\\decrypted file.txt");
  EXPECT_NE(starts[extra].commandLine.find(L"\"C:\\some folder\\decrypted file.txt\""), std::wstring::npos);
  EXPECT_EQ(starts[extra].showWindow, SW_HIDE);
  ExpectOneStartForOwnPath({starts[1 - extra]}, 1);
}

TEST_F(CleanupLaunchTest, APathTooLongForTheBufferIsNotStarted) {
  // 257 characters fit between the quotes of a 260-unit buffer; 258 do not.
  std::wstring tooLong = L"C:\\" + std::wstring(255, L'g');
  Hold();
  orx::LaunchCleanup(tooLong.c_str());
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(1), 1);
}

TEST_F(CleanupLaunchTest, ALongestFittingPathIsStarted) {
  std::wstring fits = L"C:\\" + std::wstring(254, L'f');
  Hold();
  orx::LaunchCleanup(fits.c_str());
  std::vector<Start> starts = recorder_.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  bool seen = false;
  for (const Start& s : starts) seen = seen || (s.args.size() == 2 && s.args[1] == fits);
  EXPECT_TRUE(seen);
}

// The single-instance mutex goes before the cleanup tool is started: a
// second instance waiting for it never waits for the shell's starts too.
TEST_F(CleanupLaunchTest, LetsGoOfTheInstanceBeforeStartingTheTool) {
  HANDLE instance = CreateMutexW(nullptr, TRUE, nullptr);
  ASSERT_NE(instance, nullptr);
  orx::ReleaseBeforeCleanup(instance);
  Hold();
  orx::LaunchCleanup();
  orx::ReleaseBeforeCleanup(nullptr);
  DWORD waited = WAIT_TIMEOUT;
  std::thread second([&] {
    waited = WaitForSingleObject(instance, 0);
    if (waited == WAIT_OBJECT_0) ReleaseMutex(instance);
  });
  second.join();
  EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "still held after the cleanup start";
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(1), 1);
  CloseHandle(instance);
}

// From its hold to its start the tool can be neither changed, removed nor
// renamed, whoever tries (the same user's unelevated programs included);
// once started it is let go of.
TEST_F(CleanupLaunchTest, HoldsTheToolUntilItIsStarted) {
  const std::wstring tool = orxtest::WindowsFolder() + L"\\Orx_DelTool.exe";
  Hold();
  HANDLE writer = CreateFileW(tool.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "changed while held";
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  EXPECT_FALSE(DeleteFileW(tool.c_str())) << "removed while held";
  EXPECT_FALSE(MoveFileW(tool.c_str(), (tool + L".moved").c_str())) << "renamed while held";
  orx::LaunchCleanup();
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(1), 1);
  orx::LaunchCleanup();
  ExpectOneStartForOwnPath(recorder_.WaitForStarts(2), 1);
  HANDLE after = CreateFileW(tool.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(after, INVALID_HANDLE_VALUE) << "still held after the start";
  if (after != INVALID_HANDLE_VALUE) CloseHandle(after);
}

// The decryptor program itself: its window, and Cancel starting the cleanup
// tool for the program's own file.
TEST_F(CleanupLaunchTest, TheProgramCancelsAndHasItselfDeleted) {
  std::wstring program = orxtest::ModuleFolder() + L"\\Orx_DecryptFile.exe";
  ASSERT_TRUE(orxtest::FileExists(program));
  orxtest::Process p = orxtest::Start(L"\"" + program + L"\"");
  ASSERT_NE(p.handle, nullptr);
  HWND w = orxtest::WaitForWindow(kCaption, L"#32770", orxtest::kDefaultTimeoutMs, p.pid);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(orxtest::ControlText(w, IDCANCEL), ExpectedForRun() ? ExpectedForRun()->cancel : L"Cancel");
  orxtest::PressButton(w, IDCANCEL);
  EXPECT_EQ(orxtest::WaitExit(p), 0);
  orxtest::Close(p);
  std::vector<Start> starts = recorder_.WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  ASSERT_EQ(starts[0].args.size(), 2u);
  EXPECT_EQ(_wcsicmp(starts[0].args[1].c_str(), program.c_str()), 0) << starts[0].commandLine;
  EXPECT_EQ(starts[0].showWindow, SW_HIDE);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--lang") g_expectedLangId = std::stoul(argv[i + 1], nullptr, 16);
  }
  return RUN_ALL_TESTS();
}
