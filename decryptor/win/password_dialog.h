// The decryptor's password window: asks for the password in the system's
// language, on a dark title band over a white picture with a padlock.
//
// Ends with IDOK (the password taken into m_strPassword) or IDCANCEL (Cancel,
// Esc or Close, each starting the cleanup tool). What OK leads to is up to a
// derived dialog's OnOK, which calls this one's first.
//
// The template lays the window out in dialog units, which Windows scales to
// the DPI; the picture and the labels' fonts, made in pixels, follow it
// here, also when the window moves to a monitor of another scale. In a
// high-contrast theme the picture is not shown and the labels take the
// system's colours, like the rest of the window.
#pragma once

#include <windows.h>

#include "color_label.h"
#include "launch.h"
#include "modal_dialog.h"
#include "orx/secret.h"

namespace orx {

class PasswordDialog : public ModalDialog {
 public:
  static constexpr int kMaxPassword = 255;

  // Chooses the language from the system's language id, read through
  // `systemLangId` (GetSystemDefaultLangID, or a test's), and loads the
  // icon; the window does not exist yet. Cancel and Close start the
  // cleanup tool held (cleanup_launch.h); `launch` is kept for the flow.
  explicit PasswordDialog(LANGID(WINAPI* systemLangId)(), HWND parent = nullptr,
                          const Launch& launch = Launch());

  HWND m_btnCancel = nullptr;
  HWND m_btnOk = nullptr;
  HICON m_hIcon;
  int m_nLanguage;  // 0 to 9, chosen once at construction
  const Launch m_launch;
  // The large members last, so that the others are reached by shorter code.
  ColorLabel m_lblPrompt;
  ColorLabel m_lblNote;
  ColorLabel m_lblTitle;
  Secret<wchar_t[kMaxPassword + 1]> m_strPassword;  // wiped when the dialog goes

 protected:
  void DoDataExchange(DataExchange& dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  void StyleLabels();
  void ApplyTexts();

 private:
  INT_PTR OnQueryDragIcon();
  void OnClose();
  void OnDpiChanged(UINT dpi, LPARAM suggested);
  void ShowPicture(UINT dpi);
};

}  // namespace orx
