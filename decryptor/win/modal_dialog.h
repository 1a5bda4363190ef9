// A small layer over the Windows dialog functions: a modal dialog object
// built from a dialog template, with data exchange between its controls and
// its members, and overridable initialisation, OK and Cancel handling.
//
// The dialog procedure only dispatches: the object is reached through
// DWLP_USER, and each message goes to one OnXxx member.
#pragma once

#include <windows.h>

namespace orx {

// One transfer between a dialog's controls and its members, in one
// direction. `failed` is set by a check that refuses a control's value;
// the controls after it are still exchanged.
struct DataExchange {
  HWND dialog;
  bool fromWindow;
  bool failed;
};

// Moves an edit box's text to or from the buffer (maxChars + 1 units): the
// box holds at most maxChars characters. Towards the window the box is
// limited to maxChars; from the window a longer text leaves the buffer as
// it was, puts the focus on the box and fails the exchange.
void ExchangeLimitedText(DataExchange& dx, int id, wchar_t* buffer, int maxChars);

class ModalDialog {
 public:
  // Creates the window from the template of the program's own resources,
  // runs it until it ends and returns the value it ended with (-1 when the
  // window could not be created).
  INT_PTR DoModal();
  HWND hwnd() const { return m_hWnd; }
  // Runs the data exchange; false when a check refused a value.
  bool UpdateData(bool fromWindow);

 protected:
  ModalDialog(int templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}
  ~ModalDialog() = default;

  // Before the window is first shown: the exchange towards the window.
  // TRUE gives the focus to the first tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(DataExchange& dx);
  // OK (button 1 or Enter): takes the controls' values, then ends the
  // dialog with IDOK, which hides it at once. A refused value keeps it open.
  virtual void OnOK();
  // Cancel (button 2, Esc, and Close through the default close handling):
  // ends the dialog with IDCANCEL.
  virtual void OnCancel();
  // Every other message. Returns true when handled, with the value the
  // dialog procedure returns in `result`; false lets the default handling
  // (DefDlgProc) run.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  int m_templateId;
  HWND m_parent;
};

}  // namespace orx
