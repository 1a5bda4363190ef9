#include "password_dialog.h"

#include "cleanup_launch.h"
#include "localized_texts.h"
#include "resource_ids.h"
#include "texts.h"

namespace orx {

PasswordDialog::PasswordDialog(LANGID(WINAPI* systemLangId)(), HWND parent, const Launch& launch)
    : ModalDialog(IDD_PASSWORD, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_EMPTY))),
      m_nLanguage(LanguageForLangId(systemLangId())),
      m_launch(launch) {}

void PasswordDialog::DoDataExchange(DataExchange& dx) {
  // Bound on the first exchange only.
  if (!m_btnCancel) {
    m_btnCancel = GetDlgItem(dx.dialog, IDCANCEL);
    m_btnOk = GetDlgItem(dx.dialog, IDOK);
    m_lblPrompt.Attach(GetDlgItem(dx.dialog, IDC_PROMPT));
    m_lblNote.Attach(GetDlgItem(dx.dialog, IDC_NOTE));
    m_lblTitle.Attach(GetDlgItem(dx.dialog, IDC_TITLE));
  }
  ExchangeLimitedText(dx, IDC_PASSWORD, m_strPassword.value, kMaxPassword);
}

BOOL PasswordDialog::OnInitDialog() {
  ModalDialog::OnInitDialog();
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  StyleLabels();
  ApplyTexts();
  return TRUE;  // focus to the first tab stop: the password box
}

void PasswordDialog::StyleLabels() {
  m_lblTitle.SetSolidFill(RGB(0, 80, 71)).SetInk(RGB(255, 255, 255)).SetPointSize(12).SetBold(TRUE);
  m_lblPrompt.SetSolidFill(RGB(255, 255, 255));
  m_lblNote.SetSolidFill(RGB(255, 255, 255));
}

// Over the template's placeholders, before the window is first shown.
void PasswordDialog::ApplyTexts() {
  SetWindowTextW(m_lblTitle.hwnd(), WindowTextW(m_nLanguage, kTextTitle));
  SetWindowTextW(m_lblNote.hwnd(), WindowTextW(m_nLanguage, kTextNote));
  SetWindowTextW(m_lblPrompt.hwnd(), WindowTextW(m_nLanguage, kTextPrompt));
  SetWindowTextW(m_btnCancel, WindowTextW(m_nLanguage, kTextCancel));
  SetWindowTextW(m_btnOk, WindowTextW(m_nLanguage, kTextOk));
}

void PasswordDialog::OnCancel() {
  ModalDialog::OnCancel();
  LaunchCleanup();
}

bool PasswordDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
  switch (message) {
    case WM_QUERYDRAGICON:
      result = OnQueryDragIcon();
      return true;
    case WM_CLOSE:
      OnClose();
      return false;  // the default close handling issues Cancel
  }
  return false;
}

INT_PTR PasswordDialog::OnQueryDragIcon() { return reinterpret_cast<INT_PTR>(m_hIcon); }

void PasswordDialog::OnClose() { LaunchCleanup(); }

}  // namespace orx
