// ShowErrorMessage through the real export, driven as a person would: a
// probe program calls it, and this test reads and closes the windows it
// shows. MirwellUI.dll is found by bare name in the probe's folder: the
// build's bin folder holds the real one; copies of the probe and its DLLs in
// a folder of their own run it without MirwellUI or with a faulty one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "install_fixture.h"
#include "mirwellui.h"
#include "orxtest/driver.h"

namespace {

using mirwell::testing::FullLocaleFile;
using mirwell::testing::SystemLanguageTag;
using mirwell::testing::TestInstallation;
using orxtest::Utf8ToWide;

constexpr wchar_t kFallbackCaption[] = L"tavrel Orvanta System Error";
constexpr wchar_t kFallbackText[] =
    L"Orvanta was not properly installed! Please reinstall the software.";
constexpr wchar_t kOwnerCaption[] = L"Mirwell probe owner";

// Exit codes of the probe (see show_error_probe.cpp).
constexpr int kAllTrue = 1;
constexpr int kAllFalse = 0;
constexpr int kMirwellUIStillLoaded = 4;

// <build>/artifacts/<name>.bmp, for a person to look at the window.
void SaveScreenshot(HWND window, const wchar_t* name) {
  std::wstring folder = orxtest::ModuleFolder() + L"\\..\\artifacts";
  CreateDirectoryW(folder.c_str(), nullptr);
  orxtest::SaveScreenshot(window, folder + L"\\" + name + L".bmp");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class ShowErrorMessageTest : public ::testing::Test {
 protected:
  void SetUp() override { install.WriteLocale(tag, FullLocaleFile()); }

  orxtest::Process StartProbe(const std::wstring& folder, const std::wstring& args) {
    return orxtest::Start(L"\"" + folder + L"\\mirwell_show_probe.exe\" " + args, folder);
  }

  // A folder holding the probe, Mirwell.dll and Ostrel.dll, and the given
  // MirwellUI variant (none when empty).
  std::wstring ProbeFolder(const std::wstring& name, const std::wstring& variant) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"mirwell-probe-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    DeleteFileW((folder + L"\\MirwellUI.dll").c_str());
    for (const wchar_t* file : {L"mirwell_show_probe.exe", L"Mirwell.dll", L"Ostrel.dll"}) {
      EXPECT_TRUE(CopyFileW((bin + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(), FALSE));
    }
    if (!variant.empty()) {
      EXPECT_TRUE(CopyFileW((bin + L"\\mirwellui-variants\\" + variant + L"\\MirwellUI.dll").c_str(),
                            (folder + L"\\MirwellUI.dll").c_str(), FALSE));
    }
    return folder;
  }

  // Waits for the fallback box, checks it as a person sees it, presses OK.
  void ExpectFallbackBox(HWND expectedOwner, DWORD pid) {
    HWND box = orxtest::WaitForWindow(kFallbackCaption, L"#32770", orxtest::kDefaultTimeoutMs, pid);
    ASSERT_NE(nullptr, box) << "no fallback box";
    orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(box);
    EXPECT_EQ(kFallbackText, info.text);
    EXPECT_EQ(std::vector<int>{IDOK}, info.buttons);
    EXPECT_EQ(orxtest::BoxIcon::Error, info.icon) << orxtest::IconName(info.icon);
    EXPECT_EQ(expectedOwner, info.owner);
    EXPECT_TRUE(orxtest::PressButton(box, IDOK));
    EXPECT_TRUE(orxtest::WaitForWindowGone(box));
  }

  // Runs the probe with an owner window in `folder` and expects the
  // fallback box owned by it, then false (with MirwellUI released, unless
  // told otherwise).
  void ExpectFallbackFor(const std::wstring& folder, int exitCode = kAllFalse) {
    orxtest::Process probe = StartProbe(folder, L"3 1007 1 owner");
    HWND owner = orxtest::WaitForWindow(kOwnerCaption, nullptr, orxtest::kDefaultTimeoutMs, probe.pid);
    if (owner == nullptr) {
      ADD_FAILURE() << "no owner window; probe exit code " << orxtest::WaitExit(probe, 0);
      orxtest::Close(probe);
      return;
    }
    ExpectFallbackBox(owner, probe.pid);
    EXPECT_EQ(exitCode, orxtest::WaitExit(probe));
    orxtest::Close(probe);
  }

  TestInstallation install{"mirwell-display"};
  std::string tag = SystemLanguageTag();
  std::wstring bin = orxtest::ModuleFolder();
};

// A MirwellUI.dll in the current directory of a program whose own folder
// has none (a download folder, say) is not the program's: Mirwell shows its
// fallback box and never loads it. The planted DLL records every load.
TEST_F(ShowErrorMessageTest, AMirwellUIInTheCurrentDirectoryIsNeverLoaded) {
  std::wstring folder = ProbeFolder(L"planted-cwd", L"");
  std::wstring elsewhere = folder + L"-current";
  CreateDirectoryW(elsewhere.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((bin + L"\\orx_planted_dll.dll").c_str(),
                        (elsewhere + L"\\MirwellUI.dll").c_str(), FALSE));
  std::wstring log = elsewhere + L"\\planted.log";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"ORX_PLANT_LOG", log.c_str());
  orxtest::Process probe =
      orxtest::Start(L"\"" + folder + L"\\mirwell_show_probe.exe\" 3 1007 1 owner", elsewhere);
  SetEnvironmentVariableW(L"ORX_PLANT_LOG", nullptr);
  HWND owner = orxtest::WaitForWindow(kOwnerCaption, nullptr, orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, owner);
  ExpectFallbackBox(owner, probe.pid);
  EXPECT_EQ(kAllFalse, orxtest::WaitExit(probe));
  orxtest::Close(probe);
  EXPECT_FALSE(orxtest::FileExists(log)) << "the planted MirwellUI was loaded";
}

TEST_F(ShowErrorMessageTest, ErrorWindowShowsTheComposedErrorAndClosesOnEnter) {
  orxtest::Process probe = StartProbe(bin, L"3 1007 1 owner");
  HWND owner = orxtest::WaitForWindow(kOwnerCaption, nullptr, orxtest::kDefaultTimeoutMs, probe.pid);
  HWND window = orxtest::WaitForWindow(L"Error title", L"#32770", orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, window);
  orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(window);
  EXPECT_EQ(L"Code: 3-1007\nText err_0007\nHint", info.text);
  EXPECT_EQ(L"Close", orxtest::ControlText(window, MIRWELLUI_ID_BUTTON));
  EXPECT_EQ(orxtest::BoxIcon::Error, info.icon) << orxtest::IconName(info.icon);
  EXPECT_EQ(owner, info.owner) << "owned by the caller's active window";
  SaveScreenshot(window, L"mirwellui_error_window");
  orxtest::PressKey(window, VK_RETURN);
  EXPECT_TRUE(orxtest::WaitForWindowGone(window));
  EXPECT_EQ(kAllTrue, orxtest::WaitExit(probe));
  orxtest::Close(probe);
}

TEST_F(ShowErrorMessageTest, Category2IsInformationWithTheNextLabelAndClosesOnEsc) {
  orxtest::Process probe = StartProbe(bin, L"2 1314 1");
  HWND window = orxtest::WaitForWindow(L"Info title", L"#32770", orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, window);
  orxtest::MessageBoxInfo info = orxtest::ReadMessageBox(window);
  EXPECT_EQ(L"Text err_0008", info.text);
  EXPECT_EQ(L"Next", orxtest::ControlText(window, MIRWELLUI_ID_BUTTON));
  EXPECT_EQ(orxtest::BoxIcon::Information, info.icon) << orxtest::IconName(info.icon);
  SaveScreenshot(window, L"mirwellui_information_window");
  orxtest::PressKey(window, VK_ESCAPE);
  EXPECT_TRUE(orxtest::WaitForWindowGone(window));
  EXPECT_EQ(kAllTrue, orxtest::WaitExit(probe));
  orxtest::Close(probe);
}

TEST_F(ShowErrorMessageTest, MissingLabelsGiveOK) {
  install.WriteLocale(tag, Replace(Replace(FullLocaleFile(), "lbOK=Close\r\n", ""),
                                   "lbNext=Next\r\n", ""));
  const struct {
    const wchar_t* args;
    const wchar_t* caption;
  } calls[] = {{L"2 0 1", L"Info title"}, {L"9 1 1", L"Error title"}};
  for (const auto& call : calls) {
    const wchar_t* args = call.args;
    orxtest::Process probe = StartProbe(bin, args);
    HWND window = orxtest::WaitForWindow(call.caption, L"#32770", orxtest::kDefaultTimeoutMs, probe.pid);
    ASSERT_NE(nullptr, window) << args;
    EXPECT_EQ(L"OK", orxtest::ControlText(window, MIRWELLUI_ID_BUTTON)) << args;
    EXPECT_TRUE(orxtest::PressButton(window, IDOK));
    EXPECT_EQ(kAllTrue, orxtest::WaitExit(probe)) << args;
    orxtest::Close(probe);
  }
}

TEST_F(ShowErrorMessageTest, TwoCallsLoadAndReleaseMirwellUITwice) {
  orxtest::Process probe = StartProbe(bin, L"3 5 2");
  HWND first = orxtest::WaitForWindow(L"Error title", L"#32770", orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, first);
  EXPECT_TRUE(orxtest::PressButton(first, IDOK));
  ASSERT_TRUE(orxtest::WaitForWindowGone(first));
  HWND second = orxtest::WaitForWindow(L"Error title", L"#32770", orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(L"Code: 3-5\nText err_0004\nHint", orxtest::ReadMessageBox(second).text);
  orxtest::CloseWindowLikeUser(second);
  // 1: both calls returned true; +4 would mean MirwellUI stayed loaded.
  EXPECT_EQ(kAllTrue, orxtest::WaitExit(probe));
  orxtest::Close(probe);
}

TEST_F(ShowErrorMessageTest, FallbackWithoutMirwellUI) {
  ExpectFallbackFor(ProbeFolder(L"none", L""));
}

TEST_F(ShowErrorMessageTest, FallbackWhenMirwellUILacksTheExport) {
  ExpectFallbackFor(ProbeFolder(L"no-export", L"without-export"));
}

// MirwellUI faults while its window is open, the caller's window disabled
// under it. The fallback box still comes; then the caller's window is enabled,
// the faulted window is gone, and the program goes on dispatching its messages
// without crashing: MirwellUI, whose code may still be reachable, stays loaded.
TEST_F(ShowErrorMessageTest, FaultWithItsWindowOpenLeavesTheCallerWhole) {
  std::wstring folder = ProbeFolder(L"faulting", L"faulting");
  orxtest::Process probe = StartProbe(folder, L"3 1007 1 owner pump");
  HWND owner = orxtest::WaitForWindow(kOwnerCaption, nullptr, orxtest::kDefaultTimeoutMs, probe.pid);
  HWND window = orxtest::WaitForWindow(L"Faulting error window", nullptr,
                                      orxtest::kDefaultTimeoutMs, probe.pid);
  ASSERT_NE(nullptr, owner);
  ASSERT_NE(nullptr, window) << "the faulting MirwellUI opened no window";
  EXPECT_FALSE(IsWindowEnabled(owner));
  ExpectFallbackBox(owner, probe.pid);
  // The probe dispatches its messages for two seconds from here.
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(std::vector<HWND>{owner}, orxtest::VisibleWindowsOf(probe.pid));
  EXPECT_EQ(kAllFalse + kMirwellUIStillLoaded, orxtest::WaitExit(probe));
  orxtest::Close(probe);
}

TEST_F(ShowErrorMessageTest, FallbackWhenMirwellUIRaisesAnException) {
  ExpectFallbackFor(ProbeFolder(L"raising", L"raising"), kAllFalse + kMirwellUIStillLoaded);
}

TEST_F(ShowErrorMessageTest, FallbackWhenTheTextsCannotBeComposed) {
  // Without an owner window the box has none.
  install.RemoveLocale(tag);
  orxtest::Process probe = StartProbe(bin, L"3 5 1");
  ExpectFallbackBox(nullptr, probe.pid);
  EXPECT_EQ(kAllFalse, orxtest::WaitExit(probe));
  orxtest::Close(probe);

  // The explanation for 1007 missing, with the real MirwellUI beside the probe.
  install.WriteLocale(tag, Replace(FullLocaleFile(), "err_0007=Text err_0007\r\n", ""));
  ExpectFallbackFor(bin);
}

}  // namespace
