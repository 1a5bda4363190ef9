#include "modal_dialog.h"

namespace orx {

void ExchangeLimitedText(DataExchange& dx, int id, wchar_t* buffer, int maxChars) {
  HWND control = GetDlgItem(dx.dialog, id);
  if (!dx.fromWindow) {
    SendMessageW(control, EM_LIMITTEXT, maxChars, 0);
    SetWindowTextW(control, buffer);
    return;
  }
  // The limit holds for typing, not for text set by a program: check it.
  if (GetWindowTextLengthW(control) > maxChars) {
    MessageBeep(MB_ICONEXCLAMATION);
    SetFocus(control);
    dx.failed = true;
    return;
  }
  GetWindowTextW(control, buffer, maxChars + 1);
}

INT_PTR ModalDialog::DoModal() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_parent,
                         &DialogProc, reinterpret_cast<LPARAM>(this));
}

bool ModalDialog::UpdateData(bool fromWindow) {
  DataExchange dx = {m_hWnd, fromWindow, false};
  DoDataExchange(dx);
  return !dx.failed;
}

BOOL ModalDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void ModalDialog::DoDataExchange(DataExchange&) {}

void ModalDialog::OnOK() {
  if (UpdateData(true)) EndDialog(m_hWnd, IDOK);
}

void ModalDialog::OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

bool ModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CALLBACK ModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  ModalDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
    return self->OnInitDialog();
  }
  self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;  // messages before WM_INITDIALOG
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      self->OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      self->OnCancel();
      return TRUE;
    }
  }
  INT_PTR result = 0;
  bool handled = self->OnMessage(message, wParam, lParam, result);
  if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
  return handled ? result : FALSE;
}

}  // namespace orx
