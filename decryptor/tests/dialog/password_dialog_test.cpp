// The real password dialog (same code and resources as the decryptor),
// hosted in this program: DoModal runs on the main thread while a second
// thread drives the window as a person would. The cleanup tool's place holds
// the recorder, which logs how it was started.
//
// Arguments (after GoogleTest's): --lang 0xNNNN, the system language id the
// run is meant to see (the test's LANG), 0x0409 by default; --as-child,
// given by the scaled-window tests to the run of themselves they start.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "cleanup_launch.h"
#include "cleanup_recorder.h"
#include "launch.h"
#include "localized_texts.h"
#include "display_settings.h"
#include "orxtest/driver.h"
#include "password_dialog.h"
#include "progress_window.h"
#include "texts.h"

namespace {

using dialogtest::CleanupRecorder;
using dialogtest::OwnPath;
using dialogtest::Start;

constexpr wchar_t kCaption[] = L"Tavrel Orvanta Management";
unsigned g_expectedLangId = 0x0409;
bool g_asChild = false;

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

// Presses Tab where the focus is, and returns where it went.
HWND Tab(DWORD threadId) {
  HWND from = FocusOf(threadId);
  orxtest::PressKey(from, VK_TAB);
  for (int i = 0; i < 40 && FocusOf(threadId) == from; ++i) Sleep(50);
  return FocusOf(threadId);
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
    // The password box has the focus. Without a mouse: Enter is OK (the
    // default button), Tab goes to OK, Cancel and back.
    EXPECT_EQ(FocusOf(mainThread), GetDlgItem(w, 1000));
    EXPECT_EQ(SendMessageW(w, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    for (int id : {IDOK, IDCANCEL, 1000}) EXPECT_EQ(Tab(mainThread), GetDlgItem(w, id)) << id;
    // A screen reader names the box by the prompt before it.
    std::wstring name;
    EXPECT_TRUE(orxtest::AccessibleName(GetDlgItem(w, 1000), &name));
    EXPECT_EQ(name, expected->prompt);
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

// A control's rectangle in its window's client coordinates.
RECT RectIn(HWND window, HWND control) {
  RECT r = {};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The control lies within its window's client area and its text fits it
// in `font` laid out as `format` does, with `margin` pixels to spare on
// each side (a button's edges).
void ExpectTextFits(HWND window, HWND control, HFONT font, UINT format, int margin = 0) {
  RECT client, r = RectIn(window, control), own;
  GetClientRect(window, &client);
  GetClientRect(control, &own);
  std::wstring text = orxtest::WindowText(control);
  SCOPED_TRACE(orxtest::WideToUtf8(text.empty() ? L"(the password box)" : text));
  EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
      << "the control is cut off by its window";
  SIZE extent = orxtest::TextExtent(text.empty() ? L"Xg" : text, font, format, own.right - 2 * margin);
  EXPECT_LE(extent.cx + 2 * margin, own.right) << "too wide";
  EXPECT_LE(extent.cy + 2 * margin, own.bottom) << "too high";
}

HFONT FontOf(HWND control) {
  return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

// The height a font of `points` has at `dpi`, as Windows makes it.
LONG PointHeight(int points, UINT dpi) { return -MulDiv(points, static_cast<int>(dpi), 72); }

// The rows of `rect` in which some pixel differs clearly from `fill`: the
// height of the ink drawn there.
int InkHeight(HWND window, const RECT& rect, COLORREF fill) {
  int top = -1, bottom = -1;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      COLORREF c = orxtest::ScreenPixel(window, x, y);
      int d = abs(GetRValue(c) - GetRValue(fill)) + abs(GetGValue(c) - GetGValue(fill)) +
              abs(GetBValue(c) - GetBValue(fill));
      if (d > 96) {
        if (top < 0) top = y;
        bottom = y;
        break;
      }
    }
  }
  return top < 0 ? 0 : bottom - top + 1;
}

// The dialog as shown at `dpi`: every text within its control, in fonts of
// their size in points at that DPI; on the screen the band behind the
// title, white title text of its height in points, white behind the prompt
// and the note, the picture filling the window. In a high-contrast theme
// the labels show the system's window and text colours, and no picture.
// The screenshot is kept as <build>/artifacts/<shot>.bmp.
void ExpectLooksAsDesigned(HWND w, orx::PasswordDialog& dialog, UINT dpi, bool highContrast,
                           const std::wstring& shot) {
  std::wstring folder = dialogtest::BuildPath(L"artifacts");
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring path = folder + L"\\" + shot + L".bmp";
  EXPECT_TRUE(orxtest::SaveScreenshot(w, path)) << orxtest::WideToUtf8(path);

  const struct {
    orx::ColorLabel* label;
    int points;
  } labels[] = {{&dialog.m_lblTitle, 12}, {&dialog.m_lblPrompt, 9}, {&dialog.m_lblNote, 9}};
  for (const auto& l : labels) {
    EXPECT_EQ(l.label->m_lf.lfHeight, PointHeight(l.points, dpi));
    HFONT font = CreateFontIndirectW(&l.label->m_lf);
    ExpectTextFits(w, l.label->hwnd(), font, DT_LEFT | DT_WORDBREAK);
    DeleteObject(font);
  }
  HWND box = GetDlgItem(w, 1000);
  EXPECT_EQ([&] { LOGFONTW f = {}; GetObjectW(FontOf(box), sizeof(f), &f); return f.lfHeight; }(),
            PointHeight(9, dpi));
  ExpectTextFits(w, box, FontOf(box), DT_SINGLELINE);
  for (int id : {IDOK, IDCANCEL})
    ExpectTextFits(w, GetDlgItem(w, id), FontOf(GetDlgItem(w, id)), DT_SINGLELINE, 4);

  const COLORREF band = RGB(0, 80, 71), white = RGB(255, 255, 255), picture = RGB(254, 254, 254);
  const COLORREF fill = highContrast ? GetSysColor(COLOR_WINDOW) : white;
  const COLORREF titleFill = highContrast ? fill : band;
  const COLORREF ink = highContrast ? GetSysColor(COLOR_WINDOWTEXT) : white;
  const COLORREF background = highContrast ? GetSysColor(COLOR_3DFACE) : band;
  RECT title = RectIn(w, dialog.m_lblTitle.hwnd());
  EXPECT_EQ(orxtest::ScreenPixel(w, title.right - 2, title.bottom - 2), titleFill);
  // The band (or the window's background) left of the title, down to its
  // last row.
  EXPECT_EQ(orxtest::ScreenPixel(w, 3, 3), background);
  EXPECT_EQ(orxtest::ScreenPixel(w, title.left - 2, title.bottom - 1), background);
  int inkPixels = 0;
  for (int y = title.top; y < title.bottom; y += 1)
    for (int x = title.left; x < title.left + 60; x += 1)
      if (orxtest::ScreenPixel(w, x, y) == ink) ++inkPixels;
  EXPECT_GT(inkPixels, 20) << "title text in its ink";
  // The text's height follows the DPI: about an em of 12 points.
  int em = -PointHeight(12, dpi), height = InkHeight(w, title, titleFill);
  EXPECT_TRUE(height * 10 >= em * 6 && height * 10 <= em * 12) << height << " rows for " << em;
  RECT prompt = RectIn(w, dialog.m_lblPrompt.hwnd()), note = RectIn(w, dialog.m_lblNote.hwnd());
  EXPECT_EQ(orxtest::ScreenPixel(w, prompt.right - 2, prompt.top + 1), fill);
  EXPECT_EQ(orxtest::ScreenPixel(w, note.right - 2, note.bottom - 2), fill);
  // Most of the note label is its background, whatever the glyphs.
  int samples = 0, filled = 0;
  for (int y = note.top + 1; y < note.bottom - 1; y += 4)
    for (int x = note.left + 1; x < note.right - 1; x += 4, ++samples)
      if (orxtest::ScreenPixel(w, x, y) == fill) ++filled;
  EXPECT_GT(filled * 2, samples) << filled << " of " << samples << " in the fill";
  // The picture's white below the band, right of the padlock, and in the
  // window's far corner: it fills the window at every DPI.
  RECT client;
  GetClientRect(w, &client);
  const COLORREF below = highContrast ? background : picture;
  EXPECT_EQ(IsWindowVisible(GetWindow(GetWindow(w, GW_CHILD), GW_HWNDLAST)) != FALSE, !highContrast)
      << "a picture only without high contrast";
  EXPECT_EQ(orxtest::ScreenPixel(w, 3, 150), below);
  EXPECT_EQ(orxtest::ScreenPixel(w, client.right - 2, client.bottom - 2), below);
}

TEST_F(PasswordDialogTest, LooksAsDesigned) {
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  RunDialog(dialog, [&](HWND w) {
    Sleep(500);  // let the first paint reach the screen
    const Expected* expected = ExpectedForRun();
    ExpectLooksAsDesigned(w, dialog, 96, false,
                          std::wstring(L"password_dialog_") + (expected ? expected->tag : L"other"));
    orxtest::PressButton(w, IDCANCEL);
  });
}

// Each window at a DPI, and in a high-contrast theme.
struct Scale {
  UINT dpi;
  bool highContrast;
};

// The system colours of a high-contrast theme: yellow on black, the
// windows' own background dark blue, so that each shows where it is drawn;
// none of them a colour of the labels' own.
const int kContrastElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_3DFACE, COLOR_BTNTEXT};
const COLORREF kContrastColors[] = {RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 0, 128), RGB(255, 255, 0)};

class ScaledWindowsTest : public ::testing::TestWithParam<Scale> {
 protected:
  // Runs this test again in a process of its own, which Wine shows at the
  // DPI of the user's LogPixels as that process starts: the value under
  // HKCU "Control Panel\Desktop", which Wine 8 reads first (then the one
  // under HKLM "System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts"),
  // with the theme's system colours set for it. Both are the prefix's,
  // which this test has to itself.
  void RunAsChild() {
    const Scale scale = GetParam();
    HKEY desktop;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop),
              ERROR_SUCCESS);
    DWORD dpi = scale.dpi;
    RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
    COLORREF saved[ARRAYSIZE(kContrastElements)];
    for (size_t i = 0; i < ARRAYSIZE(saved); ++i) saved[i] = GetSysColor(kContrastElements[i]);
    if (scale.highContrast) SetSysColors(ARRAYSIZE(kContrastElements), kContrastElements, kContrastColors);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring filter = orxtest::Utf8ToWide(std::string(info->test_suite_name()) + "." + info->name());
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    orxtest::Process child = orxtest::Start(L"\"" + std::wstring(self) + L"\" --as-child --gtest_filter=" + filter);
    int code = orxtest::WaitExit(child, 180000);
    orxtest::Close(child);
    SetSysColors(ARRAYSIZE(kContrastElements), kContrastElements, saved);
    RegDeleteValueW(desktop, L"LogPixels");
    RegCloseKey(desktop);
    EXPECT_EQ(code, 0) << "the run at " << scale.dpi << " DPI failed";
  }
};

// A move to a monitor of twice the scale, as Windows reports it: the
// window takes the suggested rectangle, the labels' fonts and the picture
// double.
void ExpectToFollowADpiChange(HWND w, orx::PasswordDialog& dialog, const Scale& scale) {
  RECT before, after;
  GetWindowRect(w, &before);
  RECT suggested = {before.left + 20, before.top + 10, before.left + 20 + 2 * (before.right - before.left),
                    before.top + 10 + 2 * (before.bottom - before.top)};
  LONG title = dialog.m_lblTitle.m_lf.lfHeight, note = dialog.m_lblNote.m_lf.lfHeight;
  UINT dpi = 2 * scale.dpi;
  SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  GetWindowRect(w, &after);
  EXPECT_TRUE(EqualRect(&after, &suggested));
  EXPECT_EQ(dialog.m_lblTitle.m_lf.lfHeight, 2 * title);
  EXPECT_EQ(dialog.m_lblNote.m_lf.lfHeight, 2 * note);
  RECT picture = RectIn(w, GetWindow(GetWindow(w, GW_CHILD), GW_HWNDLAST));
  if (!scale.highContrast) {
    EXPECT_EQ(picture.right - picture.left, MulDiv(425, dpi, 96));
    EXPECT_EQ(picture.bottom - picture.top, MulDiv(225, dpi, 96));
  }
}

// The progress window of a long decryption (hosted here, over a stream that
// takes every byte slowly) as shown at the DPI: a progress control that
// advances, in the product's colour or the theme's, its texts within their
// controls in the dialog font's size, the focus on Cancel, the only stop,
// which a screen reader names; Esc cancels.
void ExpectProgressWindowLooksAsDesigned(const Scale& scale, const std::wstring& shot) {
  orx::ProgressWindow progress(L"progress.bin", orx::LanguageForLangId(GetSystemDefaultLangID()));
  orx::payload::PayloadStream slow = {};
  slow.write = [](void*, const void*, size_t size) -> size_t {
    Sleep(2);
    return size;
  };
  orx::payload::PayloadStream watched = progress.Watch(slow, int64_t{1} << 30);
  DWORD mainThread = GetCurrentThreadId();
  std::thread driver([&] {
    HWND w = orxtest::WaitForWindow(kCaption, L"#32770", orxtest::kDefaultTimeoutMs, GetCurrentProcessId());
    ASSERT_NE(w, nullptr) << "no progress window";
    Sleep(300);
    HWND bar = GetDlgItem(w, 1005), name = GetDlgItem(w, 1004), cancel = GetDlgItem(w, IDCANCEL);
    EXPECT_EQ(orxtest::ClassName(bar), L"msctls_progress32");
    LRESULT end = SendMessageW(bar, PBM_GETRANGE, FALSE, 0), first = SendMessageW(bar, PBM_GETPOS, 0, 0);
    Sleep(400);
    LRESULT second = SendMessageW(bar, PBM_GETPOS, 0, 0);
    EXPECT_LT(first, second) << "the bar advances";
    EXPECT_LT(second, end);
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(bar, PBM_GETBARCOLOR, 0, 0)),
              scale.highContrast ? CLR_DEFAULT : RGB(0, 80, 71));
    EXPECT_EQ(orxtest::WindowText(name), L"progress.bin");
    LOGFONTW font = {};
    GetObjectW(FontOf(name), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, PointHeight(9, scale.dpi));
    ExpectTextFits(w, name, FontOf(name), DT_SINGLELINE | DT_NOPREFIX);
    ExpectTextFits(w, cancel, FontOf(cancel), DT_SINGLELINE, 4);
    EXPECT_TRUE(orxtest::SaveScreenshot(w, dialogtest::BuildPath(L"artifacts") + L"\\" + shot + L".bmp"));
    EXPECT_EQ(FocusOf(mainThread), cancel);
    EXPECT_EQ(Tab(mainThread), cancel) << "Cancel is the only stop";
    std::wstring accessible;
    EXPECT_TRUE(orxtest::AccessibleName(cancel, &accessible));
    EXPECT_EQ(accessible, orxtest::WindowText(cancel));
    orxtest::PressKey(cancel, VK_ESCAPE);
  });
  static unsigned char chunk[16384];
  for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;)
    if (watched.write(watched.context, chunk, sizeof(chunk)) != sizeof(chunk)) break;
  driver.join();
  EXPECT_TRUE(progress.cancelled()) << "Esc cancels";
}

TEST_P(ScaledWindowsTest, FitAndFollowTheDpi) {
  const Scale scale = GetParam();
  if (!g_asChild) {
    RunAsChild();
    return;
  }
  HDC screen = GetDC(nullptr);
  int shown = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(shown, static_cast<int>(scale.dpi)) << "the prefix's LogPixels is not in effect";
  if (scale.highContrast) orx::g_highContrastAnswer = [] { return true; };
  std::wstring suffix = std::to_wstring(scale.dpi) + L"dpi" + (scale.highContrast ? L"_high_contrast" : L"");
  orx::PasswordDialog dialog(GetSystemDefaultLangID);
  RunDialog(dialog, [&](HWND w) {
    Sleep(500);
    ExpectLooksAsDesigned(w, dialog, scale.dpi, scale.highContrast, L"password_dialog_" + suffix);
    ExpectToFollowADpiChange(w, dialog, scale);
    orxtest::PressKey(GetDlgItem(w, 1000), VK_RETURN);  // OK, which starts nothing
  });
  ExpectProgressWindowLooksAsDesigned(scale, L"decryption_progress_" + suffix);
  orx::g_highContrastAnswer = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScaledWindowsTest,
                         ::testing::Values(Scale{96, false}, Scale{144, false}, Scale{192, false},
                                           Scale{144, true}),
                         [](const ::testing::TestParamInfo<Scale>& info) {
                           return std::to_string(info.param.dpi) + "dpi" +
                                  (info.param.highContrast ? "HighContrast" : "");
                         });

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
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--lang" && i + 1 < argc) g_expectedLangId = std::stoul(argv[i + 1], nullptr, 16);
    if (std::string(argv[i]) == "--as-child") g_asChild = true;
  }
  return RUN_ALL_TESTS();
}
