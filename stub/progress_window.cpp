#include "progress_window.h"

#include "resource_ids.h"
#include "texts.h"

namespace stub {

namespace {

// A payload placed within this, from its first chunk, shows nothing.
constexpr DWORD kShowAfterMs = 1000;
// The window is looked after at most this often: often enough to feel
// immediate, seldom enough to cost nothing next to the copy.
constexpr DWORD kTickMs = 30;
// The product's colour, as the decryptor's bar.
constexpr COLORREF kBarColor = RGB(0, 80, 71);

const wchar_t* FileNameOf(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\') name = p + 1;
  }
  return name;
}

}  // namespace

ProgressWindow::ProgressWindow() : Progress{&Advance} {}

void ProgressWindow::Close() {
  if (!window_) return;
  if (mark_) RemovePropW(window_, mark_);
  DestroyWindow(window_);
  window_ = nullptr;
}

bool ProgressWindow::Advance(Progress* self, ULONGLONG walked) {
  ProgressWindow* window = static_cast<ProgressWindow*>(self);
  if (!window->started_) {
    window->started_ = true;
    window->start_ = window->lastTick_ = GetTickCount();
  }
  window->walked_ = walked;
  window->Tick();
  return !window->cancelled_;
}

void ProgressWindow::Tick() {
  DWORD now = GetTickCount();
  if (now - lastTick_ < kTickMs) return;
  lastTick_ = now;
  if (!window_) {
    if (gaveUp_ || now - start_ < kShowAfterMs) return;
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PLACING), nullptr,
                                 &DialogProc, reinterpret_cast<LPARAM>(this));
    gaveUp_ = !window_;
    if (gaveUp_) return;
  }
  HWND bar = GetDlgItem(window_, IDC_PROGRESS_BAR);
  RECT area;
  GetClientRect(bar, &area);
  int filled = Filled(area.right);
  if (filled != shownFilled_) {
    shownFilled_ = filled;
    InvalidateRect(bar, nullptr, FALSE);
  }
  // The stub has no other window: every message of the thread is this
  // window's (or the system's, such as an input method's).
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

int ProgressWindow::Filled(int width) const {
  // Both counts scaled down alike until the total fits in 16 bits, so that
  // neither a 64-bit division nor an overflow is needed.
  ULONGLONG walked = walked_ < total_ ? walked_ : total_, total = total_;
  while (total > 0xFFFF) {
    total >>= 1;
    walked >>= 1;
  }
  if (!total) return 0;
  return static_cast<int>(static_cast<DWORD>(walked) * static_cast<DWORD>(width) /
                          static_cast<DWORD>(total));
}

void ProgressWindow::OnInit(HWND window) {
  SetDlgItemTextW(window, IDC_PROGRESS_NAME, FileNameOf(archivePath_));
  int language = orx::LanguageForLangId(GetSystemDefaultLangID());
  SetDlgItemTextW(window, IDCANCEL, reinterpret_cast<const wchar_t*>(orx::CancelLabel(language)));
  if (mark_) SetPropW(window, mark_, window);
}

// In the control's own pixels, whatever the window's DPI: the share walked
// in the product's colour, the rest in the window's.
void ProgressWindow::DrawBar(const DRAWITEMSTRUCT& item) const {
  RECT part = item.rcItem;
  part.right = part.left + Filled(item.rcItem.right - item.rcItem.left);
  SetDCBrushColor(item.hDC, kBarColor);
  FillRect(item.hDC, &part, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  part.left = part.right;
  part.right = item.rcItem.right;
  FillRect(item.hDC, &part, GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR CALLBACK ProgressWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<ProgressWindow*>(lParam)->OnInit(window);
    return TRUE;  // the focus to Cancel, the only tab stop
  }
  ProgressWindow* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  if (message == WM_DRAWITEM) {
    self->DrawBar(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    return TRUE;
  }
  // Cancel, Esc, and Close through the dialog's default close handling.
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    self->cancelled_ = true;
    return TRUE;
  }
  return FALSE;
}

}  // namespace stub
