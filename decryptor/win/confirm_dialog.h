// The password dialog with what OK leads to: the password is checked
// against the payload the stub left in the Windows folder, the file is
// decrypted into the current folder under its stored name and verified,
// the user may open it, and every ending has the cleanup tool remove the
// decryptor (and a decrypted file that failed its check).
//
// There is one attempt per run: OK ends the dialog at once, and every
// outcome below ends the program. Failures are returned codes, never C++
// exceptions; each ends in one message of the dialog's language.
#pragma once

#include <windows.h>

#include "password_dialog.h"

namespace orx {

class ConfirmDialog : public PasswordDialog {
 public:
  ConfirmDialog() = default;

  // Shows message `number` (a MessageSlot) in the dialog's language, owned
  // by the dialog, with the caption of every message; for kTextDecrypted the
  // output file's name stands before the text. Returns the box's result.
  int ShowMessage(int number, UINT style);

 protected:
  void OnOK() override;

 private:
  void Confirm();
};

}  // namespace orx
