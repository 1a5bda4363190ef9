#include "password_dialog.h"

#include "cleanup_launch.h"
#include "localized_texts.h"
#include "display_settings.h"
#include "resource_ids.h"
#include "texts.h"

namespace orx {

namespace {

// Picture 144's size in pixels, made for 96 DPI.
constexpr int kPictureWidth = 425;
constexpr int kPictureHeight = 225;

}  // namespace

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
  ShowPicture(WindowDpi(m_hWnd));
  return TRUE;  // focus to the first tab stop: the password box
}

// The picture (the template's last control, so the bottom one) at `dpi`:
// stretched from its 96-DPI size like the dialog around it, so that its band
// stays under the title and it fills the window. A high-contrast theme
// shows none, but the window's background in the system's colour.
void PasswordDialog::ShowPicture(UINT dpi) {
  HWND picture = GetWindow(GetWindow(m_hWnd, GW_CHILD), GW_HWNDLAST);
  if (HighContrastOn()) {
    ShowWindow(picture, SW_HIDE);
    return;
  }
  HANDLE scaled = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP,
                             ScaleToDpi(kPictureWidth, dpi), ScaleToDpi(kPictureHeight, dpi), 0);
  // The control takes the new bitmap's size and gives back the old one.
  DeleteObject(reinterpret_cast<HGDIOBJ>(
      SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled))));
}

// Moved to a monitor of another scale. Windows lays the controls out again
// and gives them the dialog's font at the new DPI in its own handling of the
// message, which follows; what is sized in pixels here follows first.
void PasswordDialog::OnDpiChanged(UINT dpi, LPARAM suggested) {
  m_lblTitle.SetDpi(dpi);
  m_lblPrompt.SetDpi(dpi);
  m_lblNote.SetDpi(dpi);
  ShowPicture(dpi);
  TakeSuggestedRect(m_hWnd, suggested);
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

bool PasswordDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), lParam);
      return false;
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
