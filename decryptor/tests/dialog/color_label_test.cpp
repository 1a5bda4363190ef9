// ColorLabels hosted in a test window, checked by what reaches the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "color_label.h"
#include "gradient_bands.h"
#include "orxtest/driver.h"

namespace {

constexpr wchar_t kClass[] = L"OrxColorLabelTestHost";

struct Notice {
  UINT_PTR wParam = 0;
  NMHDR header = {};
  int count = 0;
};
Notice g_notice;

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_NOTIFY) {
    g_notice.wParam = wp;
    g_notice.header = *reinterpret_cast<NMHDR*>(lp);
    ++g_notice.count;
    return 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// The label's client area as it is on the screen, top-down, 0x00RRGGBB.
struct Capture {
  int width = 0, height = 0;
  std::vector<DWORD> px;
  COLORREF At(int x, int y) const {
    DWORD p = px[y * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int Count(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) == c;
    return n;
  }
};

Capture Grab(HWND label) {
  Capture c;
  RECT r;
  GetClientRect(label, &r);
  POINT origin = {0, 0};
  ClientToScreen(label, &origin);
  c.width = r.right;
  c.height = r.bottom;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = c.width;
  bi.bmiHeader.biHeight = -c.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, c.width, c.height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  c.px.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + c.width * c.height);
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return c;
}

class ColorLabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    host_ = CreateWindowExW(WS_EX_TOPMOST, kClass, L"ColorLabel test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            40, 40, 520, 360, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(host_, nullptr);
    g_notice = Notice();
    Pump(300);
  }
  void TearDown() override { DestroyWindow(host_); }

  HWND AddStatic(int id, const wchar_t* text, int x, int y, int w, int h, DWORD style = SS_LEFT) {
    HWND s = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, host_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
    SendMessageW(s, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return s;
  }
  void Show() {
    SetForegroundWindow(host_);
    RedrawWindow(host_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(200);
  }

  HWND host_ = nullptr;
};

TEST_F(ColorLabelTest, DefaultFillIsThe3DFaceAndSetFillPaintsTheColour) {
  orx::ColorLabel plain, filled;
  ASSERT_TRUE(plain.Attach(AddStatic(10, L"", 10, 10, 80, 30)));
  ASSERT_TRUE(filled.Attach(AddStatic(11, L"", 100, 10, 80, 30)));
  EXPECT_FALSE(plain.Attach(GetDlgItem(host_, 11)));  // already bound
  orx::ColorLabel& chained = filled.SetFill(RGB(10, 200, 30), 0, 0).SetInk(RGB(0, 0, 255));
  EXPECT_EQ(&chained, &filled);
  Show();
  Capture a = Grab(plain.hwnd()), b = Grab(filled.hwnd());
  EXPECT_EQ(a.Count(GetSysColor(COLOR_3DFACE)), a.width * a.height);
  EXPECT_EQ(b.Count(RGB(10, 200, 30)), b.width * b.height);

  // A system colour change renews the default brush; the filled label is unchanged.
  SendMessageW(plain.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
  SendMessageW(filled.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
  Pump(100);
  EXPECT_EQ(Grab(plain.hwnd()).Count(GetSysColor(COLOR_3DFACE)), a.width * a.height);
  Capture after = Grab(filled.hwnd());
  EXPECT_EQ(after.Count(RGB(10, 200, 30)), b.width * b.height) << std::hex << after.At(5, 5);
}

TEST_F(ColorLabelTest, GradientBandsReachTheScreen) {
  orx::ColorLabel wide, narrow;
  wide.Attach(AddStatic(20, L"", 10, 60, 250, 20));
  narrow.Attach(AddStatic(21, L"", 10, 100, 40, 20));
  const COLORREF from = RGB(0, 0, 0), to = RGB(200, 100, 250);
  wide.SetFill(from, to, 1);
  narrow.SetFill(RGB(250, 0, 0), RGB(0, 250, 0), 1);
  Show();
  Capture w = Grab(wide.hwnd());
  orx::GradientBands bands(0, 250, from, to, 100);
  ASSERT_EQ(bands.count(), 100);
  for (int i = 0; i < bands.count(); i += 9) {
    int x = bands.BandLeft(i);
    EXPECT_EQ(w.At(x, 0), bands.BandColor(i)) << "band " << i;
    EXPECT_EQ(w.At(x, w.height - 1), bands.BandColor(i)) << "band " << i << ", bottom row";
  }
  EXPECT_NE(w.At(0, 5), w.At(249, 5));
  // Narrower than 100 pixels: a band per column, each a new colour.
  Capture n = Grab(narrow.hwnd());
  for (int x = 1; x < n.width; ++x) EXPECT_NE(n.At(x, 10), n.At(x - 1, 10)) << x;

  // In a high-contrast theme (which Wine cannot turn on) the system's
  // window colour takes the place of the gradient.
  orx::g_highContrastAnswer = [] { return true; };
  InvalidateRect(wide.hwnd(), nullptr, FALSE);
  Pump(100);
  orx::g_highContrastAnswer = nullptr;
  Capture contrast = Grab(wide.hwnd());
  EXPECT_EQ(contrast.Count(GetSysColor(COLOR_WINDOW)), contrast.width * contrast.height);
}

TEST_F(ColorLabelTest, BlinkingTextVanishesInTheOffPhase) {
  orx::ColorLabel filled, unfilled;
  filled.Attach(AddStatic(30, L"WWWWWWWW", 10, 140, 200, 40));
  unfilled.Attach(AddStatic(31, L"WWWWWWWW", 220, 140, 200, 40));
  const COLORREF fill = RGB(255, 255, 0), ink = RGB(200, 0, 0);
  filled.SetFill(fill, 0, 0).SetInk(ink).SetPointSize(16).SetBold(TRUE);
  unfilled.SetInk(ink).SetPointSize(16).SetBold(TRUE);
  Show();
  ASSERT_GT(Grab(filled.hwnd()).Count(ink), 50) << "the text is drawn";

  filled.BlinkText(TRUE);
  unfilled.BlinkText(TRUE);
  InvalidateRect(filled.hwnd(), nullptr, FALSE);
  InvalidateRect(unfilled.hwnd(), nullptr, FALSE);
  Pump(100);
  // The first phase is off: the text takes the fill colour, or black without one.
  Capture off = Grab(filled.hwnd());
  EXPECT_EQ(off.Count(fill), off.width * off.height);
  Capture offBlack = Grab(unfilled.hwnd());
  EXPECT_EQ(offBlack.Count(ink), 0);
  EXPECT_GT(offBlack.Count(RGB(0, 0, 0)), 50);

  // Timer 1 flips the phase every 500 ms: ink back, then gone again.
  DWORD start = GetTickCount();
  bool on = false;
  while (!on && GetTickCount() - start < 2000) {
    Pump(50);
    on = Grab(filled.hwnd()).Count(ink) > 50;
  }
  EXPECT_TRUE(on) << "the ink comes back";
  DWORD onAt = GetTickCount();
  bool offAgain = false;
  while (!offAgain && GetTickCount() - onAt < 2000) {
    Pump(50);
    offAgain = Grab(filled.hwnd()).Count(ink) == 0;
  }
  EXPECT_TRUE(offAgain) << "and vanishes again";
  EXPECT_GE(GetTickCount() - onAt, 300u);

  filled.BlinkText(FALSE);
  InvalidateRect(filled.hwnd(), nullptr, FALSE);
  Pump(700);
  EXPECT_GT(Grab(filled.hwnd()).Count(ink), 50) << "blinking off: text stays";
}

// A real click in the middle of a window.
void ClickOn(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

TEST_F(ColorLabelTest, ClickIsReportedToTheParentWithCode8200) {
  orx::ColorLabel label;
  HWND s = AddStatic(40, L"click me", 10, 200, 160, 30);
  label.Attach(s);
  label.SetFill(RGB(255, 255, 255), 0, 0).EnableWebLink(TRUE, TRUE);
  EXPECT_NE(GetWindowLongW(s, GWL_STYLE) & SS_NOTIFY, 0);
  Show();
  ClickOn(s);
  Pump(500);
  ASSERT_EQ(g_notice.count, 1);
  EXPECT_EQ(g_notice.wParam, 40u);
  EXPECT_EQ(g_notice.header.code, orx::kLabelClickNotification);
  EXPECT_EQ(g_notice.header.code, 0x8200u);
  EXPECT_EQ(g_notice.header.idFrom, 40u);
  EXPECT_EQ(g_notice.header.hwndFrom, s);

  // Linking off removes the notify style: clicks pass through the label.
  label.EnableWebLink(FALSE, FALSE);
  EXPECT_EQ(GetWindowLongW(s, GWL_STYLE) & SS_NOTIFY, 0);
}

// Sets the default value of a key under HKEY_CLASSES_ROOT; returns the old
// one (empty when there was none) so that it can be put back.
std::wstring SetClassCommand(const wchar_t* subkey, const std::wstring& value) {
  HKEY key;
  std::wstring old;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return old;
  wchar_t buffer[1024] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) ==
      ERROR_SUCCESS)
    old = buffer;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return old;
}

// The recorder's log once it holds `lines` lines (or after the time-out).
std::string WaitForLog(const std::wstring& log, size_t lines) {
  std::string text;
  for (int i = 0; i < 100; ++i, Sleep(100)) {
    std::vector<unsigned char> got = orxtest::ReadBytes(log);
    text.assign(got.begin(), got.end());
    size_t n = 0;
    for (char c : text) n += c == '\n';
    if (n >= lines) break;
  }
  return text;
}

// Web and mail links open through the shell: the label's text, or the link
// target when one is set, and "mailto:" with the text. The recorder is
// registered for the two protocols, so what the shell was given shows.
TEST_F(ColorLabelTest, LinksOpenTheirTargetsThroughTheShell) {
  std::wstring log = orxtest::ModuleFolder() + L"\\label-links.log";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", log.c_str());
  std::wstring command = L"\"" + orxtest::ModuleFolder() + L"\\orx_recorder.exe\" \"%1\"";
  SetClassCommand(L"orxtest", L"URL:orx test");
  HKEY key;
  RegOpenKeyExW(HKEY_CLASSES_ROOT, L"orxtest", 0, KEY_SET_VALUE, &key);
  RegSetValueExW(key, L"URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(L""));
  RegCloseKey(key);
  SetClassCommand(L"orxtest\\shell\\open\\command", command);
  std::wstring oldMail = SetClassCommand(L"mailto\\shell\\open\\command", command);

  orx::ColorLabel web, mail;
  HWND w = AddStatic(70, L"orxtest:page-one", 10, 250, 200, 30);
  HWND m = AddStatic(71, L"someone@example.org", 250, 250, 200, 30);
  web.Attach(w);
  mail.Attach(m);
  web.SetFill(RGB(255, 255, 255), 0, 0).EnableWebLink(TRUE, FALSE);
  mail.SetFill(RGB(255, 255, 255), 0, 0).EnableMailLink(TRUE, FALSE);
  Show();
  ClickOn(w);
  Pump(300);
  std::string first = WaitForLog(log, 1);
  web.SetLinkTarget(L"orxtest:the-target");
  // Far enough apart not to make a double click, which is not a click.
  Pump(GetDoubleClickTime() + 200);
  ClickOn(w);
  Pump(300);
  std::string second = WaitForLog(log, 2);
  Pump(GetDoubleClickTime() + 200);
  ClickOn(m);
  Pump(300);
  std::string third = WaitForLog(log, 3);

  SetClassCommand(L"mailto\\shell\\open\\command", oldMail);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"orxtest");
  SetEnvironmentVariableW(L"ORX_RECORDER_LOG", nullptr);
  EXPECT_NE(first.find("orxtest:page-one"), std::string::npos) << first;
  EXPECT_NE(second.find("orxtest:the-target"), std::string::npos) << second;
  EXPECT_NE(third.find("mailto:someone@example.org"), std::string::npos) << third;
  EXPECT_EQ(g_notice.count, 0) << "no parent notification without notifyParent";
}

TEST_F(ColorLabelTest, HoverCursorIsShownOverTheLabel) {
  orx::ColorLabel label;
  HWND s = AddStatic(60, L"hover", 300, 10, 80, 30, SS_LEFT | SS_NOTIFY);
  label.Attach(s);
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  EXPECT_EQ(&label.SetHoverCursor(hand), &label);
  EXPECT_EQ(SendMessageW(s, WM_SETCURSOR, reinterpret_cast<WPARAM>(s), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), hand);
}

TEST_F(ColorLabelTest, AProcedureLeftWithoutItsLabelActsAsTheStaticControl) {
  orx::ColorLabel label;
  HWND s = AddStatic(70, L"bound", 300, 60, 80, 30);
  label.Attach(s);
  // Another party clears the control's window data: the label's procedure,
  // still in place, finds no label and hands each message to the control's
  // own class procedure.
  SetWindowLongPtrW(s, GWLP_USERDATA, 0);
  SetWindowTextW(s, L"unbound");
  Show();
  wchar_t text[16] = {};
  GetWindowTextW(s, text, 16);
  EXPECT_STREQ(text, L"unbound");
}

TEST_F(ColorLabelTest, CentreImageStyleCentresOneLineAndEmbossAddsItsCopy) {
  orx::ColorLabel centred, embossed;
  centred.Attach(AddStatic(50, L"II", 10, 250, 200, 60, SS_LEFT | SS_CENTERIMAGE));
  embossed.Attach(AddStatic(51, L"Embossed", 220, 250, 200, 60));
  centred.SetFill(RGB(255, 255, 255), 0, 0).SetInk(RGB(0, 0, 0)).SetPointSize(14);
  embossed.SetFill(RGB(255, 255, 255), 0, 0).SetInk(RGB(0, 0, 0)).SetEmbossColor(RGB(0, 0, 255));
  Show();
  Capture before = Grab(embossed.hwnd());
  EXPECT_EQ(before.Count(RGB(0, 0, 255)), 0);
  embossed.SetEmbossed(TRUE, 0);
  Pump(100);
  EXPECT_GT(Grab(embossed.hwnd()).Count(RGB(0, 0, 255)), 10);

  Capture c = Grab(centred.hwnd());
  int minX = c.width, maxX = -1, minY = c.height, maxY = -1;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      if (c.At(x, y) == RGB(0, 0, 0)) {
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
      }
  ASSERT_GE(maxX, 0) << "text drawn";
  EXPECT_NEAR((minX + maxX) / 2, c.width / 2, 4);
  EXPECT_NEAR((minY + maxY) / 2, c.height / 2, 6);
}

}  // namespace
