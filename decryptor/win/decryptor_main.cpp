// The decryptor's entry point: no C runtime start-up, so no global
// constructors; everything lives on this stack. The command line (the
// archive's path, passed by the stub) is not read.
#include <windows.h>

#include "decryptor_app.h"

extern "C" void __stdcall DecryptorEntry() {
  orx::DecryptorApp app;
  app.InitInstance();
  ExitProcess(0);
}
