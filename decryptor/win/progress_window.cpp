#include "progress_window.h"

#include <commctrl.h>

#include "localized_texts.h"
#include "display_settings.h"
#include "orx/system_dlls.h"
#include "resource_ids.h"
#include "texts.h"

namespace orx {

namespace {

// Work that ends within this shows nothing new.
constexpr DWORD kShowAfterMs = 1000;
// The window is looked after at most this often: often enough to feel
// immediate, seldom enough to cost nothing next to the decryption.
constexpr DWORD kTickMs = 30;
// The product's colour, as the password dialog's title band.
constexpr COLORREF kBarColor = RGB(0, 80, 71);

// Registers the progress control's class, from the system folder's
// comctl32.dll; nothing when that cannot be loaded.
void RegisterProgressControl() {
  HMODULE controls = LoadSystemLibrary(L"comctl32.dll");
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(
      controls ? GetProcAddress(controls, "InitCommonControlsEx") : nullptr));
  const INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_PROGRESS_CLASS};
  if (init) init(&classes);
}

}  // namespace

ProgressWindow::~ProgressWindow() {
  if (window_) DestroyWindow(window_);
}

payload::PayloadStream ProgressWindow::Watch(const payload::PayloadStream& target, int64_t total) {
  target_ = target;
  total_ = total > 0 ? static_cast<uint64_t>(total) : 0;
  // Both counts go to the control shifted alike, until the total fits in
  // 16 bits: finer than any bar is wide, and no 64-bit arithmetic.
  uint64_t range = total_;
  for (; range > 0xFFFF; range >>= 1) ++shift_;
  range_ = static_cast<int>(range);
  start_ = lastTick_ = GetTickCount();
  payload::PayloadStream watched = {this, nullptr, &Write, nullptr, nullptr, nullptr};
  return watched;
}

size_t ProgressWindow::Write(void* context, const void* data, size_t size) {
  ProgressWindow* self = static_cast<ProgressWindow*>(context);
  if (self->cancelled_) return 0;
  size_t taken = self->target_.write(self->target_.context, data, size);
  self->done_ += taken;
  self->Tick();
  return self->cancelled_ ? 0 : taken;
}

void ProgressWindow::Tick() {
  DWORD now = GetTickCount();
  if (now - lastTick_ < kTickMs) return;
  lastTick_ = now;
  if (!window_) {
    if (now - start_ < kShowAfterMs) return;
    RegisterProgressControl();
    // The template asks that the window be made also when the bar cannot.
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                                 nullptr, &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window_) return;  // no window: the work goes on without one
  }
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(done_ >> shift_), 0);
  // Only this window's messages (and what other threads send): the hidden
  // password dialog must not see input again while its OK is still running.
  MSG message;
  while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void ProgressWindow::OnInit(HWND window) {
  SetWindowTextW(GetDlgItem(window, IDC_PROGRESS_NAME), fileName_);
  SetWindowTextW(GetDlgItem(window, IDCANCEL), WindowTextW(language_, kTextCancel));
  bar_ = GetDlgItem(window, IDC_PROGRESS_BAR);
  SendMessageW(bar_, PBM_SETRANGE32, 0, range_);
  // The product's colour where the system draws the bar in a colour of the
  // program's choosing; a high-contrast theme's own.
  if (!HighContrastOn()) SendMessageW(bar_, PBM_SETBARCOLOR, 0, kBarColor);
}

INT_PTR CALLBACK ProgressWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<ProgressWindow*>(lParam)->OnInit(window);
    return TRUE;  // the focus to Cancel, the only tab stop
  }
  // Cancel, Esc, and Close through the default close handling; and the
  // session ending (log-off, shutdown), which is let go on: the decryption
  // stops at the next chunk and the flow ends as after Cancel, its
  // unverified output removed.
  if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_QUERYENDSESSION) {
    reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, DWLP_USER))->cancelled_ = true;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);  // the session may end
    return TRUE;
  }
  return FALSE;
}

}  // namespace orx
