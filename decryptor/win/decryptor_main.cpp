// The decryptor's entry point: no C runtime start-up, so no global
// constructors; everything lives on this stack.
#include <windows.h>

#include "password_dialog.h"

extern "C" void __stdcall DecryptorEntry() {
  orx::PasswordDialog dialog;
  dialog.DoModal();
  ExitProcess(0);
}
