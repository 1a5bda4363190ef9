// The decryptor's window: the password dialog, whose OK runs the
// decryption flow (decryption_flow.h), and the messages of that flow in the
// dialog's language.
#pragma once

#include <windows.h>

#include "password_dialog.h"
#include "system_calls.h"

namespace orx {

class DecryptorDialog : public PasswordDialog {
 public:
  // The launch and the archive's zone information stay the caller's.
  DecryptorDialog(const SystemCalls& calls, const Launch& launch, const ZoneRecord& zone)
      : PasswordDialog(calls.systemLangId, nullptr, launch), calls_(calls), zone_(zone) {}

  // The flow's prompt: shows message `number` (a MessageSlot) in the
  // dialog's language, owned by the dialog, with the caption of every
  // message and `name`, when given, before the text. Returns the box's
  // result.
  static int ShowMessage(void* dialog, int number, UINT style, const wchar_t* name);

 protected:
  // Takes the password, ends the dialog and runs the flow; one attempt per
  // run, every outcome ends the program.
  void OnOK() override;

 private:
  const SystemCalls& calls_;
  const ZoneRecord& zone_;
};

}  // namespace orx
