#include "progress_window.h"

#include "localized_texts.h"
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

}  // namespace

ProgressWindow::~ProgressWindow() {
  if (window_) DestroyWindow(window_);
}

payload::PayloadStream ProgressWindow::Watch(const payload::PayloadStream& target, int64_t total) {
  target_ = target;
  total_ = total > 0 ? static_cast<uint64_t>(total) : 0;
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
    window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                                 nullptr, &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window_) return;  // no window: the work goes on without one
  }
  // The share in 32 bits: both counts scaled down alike until the total
  // fits in 16, so that neither a 64-bit division nor an overflow is needed.
  uint64_t done = done_, total = total_;
  while (total > 0xFFFF) {
    total >>= 1;
    done >>= 1;
  }
  int width = total ? static_cast<int>(static_cast<uint32_t>(done) *
                                       static_cast<uint32_t>(barWidth_) /
                                       static_cast<uint32_t>(total))
                    : 0;
  if (width != shownWidth_) {
    shownWidth_ = width;
    SetWindowPos(bar_.hwnd(), nullptr, 0, 0, width, barHeight_,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
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
  // The template gives the bar its full size; it starts empty.
  HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
  RECT full;
  GetClientRect(bar, &full);
  barWidth_ = full.right;
  barHeight_ = full.bottom;
  SetWindowPos(bar, nullptr, 0, 0, 0, barHeight_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  bar_.Attach(bar);
  bar_.SetSolidFill(kBarColor);
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
