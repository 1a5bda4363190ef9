// The decryptor's window: the password dialog, whose OK runs the
// decryption flow (decryption_flow.h), and the messages of that flow in the
// dialog's language.
#pragma once

#include <windows.h>

#include "password_dialog.h"

namespace orx {

class DecryptorDialog : public PasswordDialog {
 public:
  DecryptorDialog() = default;

  // Shows message `number` (a MessageSlot) in the dialog's language, owned
  // by the dialog, with the caption of every message; for kTextDecrypted the
  // output file's name stands before the text. Returns the box's result.
  int ShowMessage(int number, UINT style);

 protected:
  // Takes the password, ends the dialog and runs the flow; one attempt per
  // run, every outcome ends the program.
  void OnOK() override;
};

}  // namespace orx
