// The error window: a dialog built from an in-memory template, laid out
// around the message once its texts are known.
#include <windows.h>

#include "mirwellui.h"

// This DLL's own image, whatever name it was loaded under.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kGap = 12;
constexpr int kMaxTextWidth = 420;
constexpr int kMinButtonWidth = 88;
constexpr int kButtonHeight = 26;

struct WindowTexts {
  bool isInfo;
  const char* title;
  const char* buttonLabel;
  const char* message;
};

// A dialog template with three controls, their texts set at WM_INITDIALOG.
// The template is DWORD-aligned item by item, as DialogBoxIndirect wants.
class Template {
 public:
  Template() {
    auto* dlg = Put<DLGTEMPLATE>();
    dlg->style = DS_MODALFRAME | DS_SETFONT | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
                 WS_SYSMENU;
    dlg->cdit = 3;
    dlg->cx = 200;
    dlg->cy = 80;
    PutWord(0);  // no menu
    PutWord(0);  // the dialog class
    PutWord(0);  // no caption yet
    PutWord(9);  // point size
    PutString(L"MS Shell Dlg");
    Item(SS_ICON | WS_CHILD | WS_VISIBLE, MIRWELLUI_ID_ICON, 0x0082);
    Item(SS_LEFT | SS_NOPREFIX | WS_CHILD | WS_VISIBLE, MIRWELLUI_ID_MESSAGE, 0x0082);
    Item(BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, MIRWELLUI_ID_BUTTON, 0x0080);
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(buffer_); }

 private:
  void Item(DWORD style, WORD id, WORD atom) {
    Align();
    auto* item = Put<DLGITEMTEMPLATE>();
    item->style = style;
    item->cx = 10;
    item->cy = 10;
    item->id = id;
    PutWord(0xFFFF);
    PutWord(atom);  // 0x0080 button, 0x0082 static
    PutWord(0);     // no text yet
    PutWord(0);     // no creation data
  }
  template <typename T>
  T* Put() {
    T* p = reinterpret_cast<T*>(buffer_ + used_);
    used_ += sizeof(T);
    return p;
  }
  void PutWord(WORD w) { *Put<WORD>() = w; }
  void PutString(const wchar_t* s) {
    do PutWord(*s); while (*s++ != 0);
  }
  void Align() { used_ = (used_ + 3) & ~size_t{3}; }

  alignas(4) unsigned char buffer_[256] = {};
  size_t used_ = 0;
};

SIZE TextSize(HWND control, const char* text, int maxWidth) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, maxWidth, 0};
  DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void LayOut(HWND dialog, const WindowTexts& texts) {
  HWND icon = GetDlgItem(dialog, MIRWELLUI_ID_ICON);
  HWND message = GetDlgItem(dialog, MIRWELLUI_ID_MESSAGE);
  HWND button = GetDlgItem(dialog, MIRWELLUI_ID_BUTTON);
  SIZE text = TextSize(message, texts.message, kMaxTextWidth);
  SIZE label = TextSize(button, texts.buttonLabel, kMaxTextWidth);
  int buttonWidth = label.cx + 24 > kMinButtonWidth ? label.cx + 24 : kMinButtonWidth;
  int textLeft = kMargin + kIconSize + kGap;
  int textHeight = text.cy > kIconSize ? text.cy : kIconSize;
  int clientWidth = textLeft + text.cx + kMargin;
  if (clientWidth < buttonWidth + 2 * kMargin) clientWidth = buttonWidth + 2 * kMargin;
  int buttonTop = kMargin + textHeight + kGap;
  int clientHeight = buttonTop + kButtonHeight + kMargin;

  MoveWindow(icon, kMargin, kMargin, kIconSize, kIconSize, FALSE);
  MoveWindow(message, textLeft, kMargin, text.cx, textHeight, FALSE);
  MoveWindow(button, (clientWidth - buttonWidth) / 2, buttonTop, buttonWidth, kButtonHeight, FALSE);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  // Centred over the owner, or over the work area without one.
  RECT area;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner == nullptr || !GetWindowRect(owner, &area)) {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(dialog, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK ErrorWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto& texts = *reinterpret_cast<const WindowTexts*>(lParam);
      SetWindowTextA(dialog, texts.title);
      SetDlgItemTextA(dialog, MIRWELLUI_ID_MESSAGE, texts.message);
      SetDlgItemTextA(dialog, MIRWELLUI_ID_BUTTON, texts.buttonLabel);
      HICON icon = LoadIcon(nullptr, texts.isInfo ? IDI_INFORMATION : IDI_ERROR);
      SendDlgItemMessageA(dialog, MIRWELLUI_ID_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      LayOut(dialog, texts);
      MessageBeep(texts.isInfo ? MB_ICONINFORMATION : MB_ICONERROR);
      return TRUE;  // focus to the button
    }
    case WM_COMMAND:
      // The button and Enter give IDOK; Esc and the close box give IDCANCEL.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

extern "C" int __cdecl MirwellUI_ShowErrorMsg(bool isInfo, const char* title,
                                              const char* buttonLabel, const char* message) {
  // The texts are only read while the window exists; DialogBox returns
  // after it is destroyed.
  WindowTexts texts{isInfo, title ? title : "", buttonLabel ? buttonLabel : "",
                    message ? message : ""};
  Template dialogTemplate;
  INT_PTR result = DialogBoxIndirectParamA(reinterpret_cast<HINSTANCE>(&__ImageBase), dialogTemplate.get(),
                                           GetActiveWindow(), ErrorWindowProc,
                                           reinterpret_cast<LPARAM>(&texts));
  return result == IDOK || result == IDCANCEL ? static_cast<int>(result) : 0;
}
