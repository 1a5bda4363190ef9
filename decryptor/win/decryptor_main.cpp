// The decryptor's entry point: no C runtime start-up, so no global
// constructors; everything lives on this stack. The command line (the
// archive's path, passed by the stub) is not read.
#include <windows.h>

#include "decryptor_app.h"
#include "orx/stack_guard.h"
#include "orx/system_dlls.h"
#include "zone_information.h"

namespace {

void RunDecryptor() {
  // Now, before the dialog: the archive may be gone by the time it is
  // needed.
  orx::ReadArchiveZone();
  orx::DecryptorApp app;
  app.InitInstance();
}

}  // namespace

ORX_PROGRAM_ENTRY(DecryptorEntry) {
  orx::InitStackGuard();
  // Written into the download folder and run from there: no DLL may come
  // from that folder or the current one (the crypto provider, the shell's
  // own loads).
  orx::RestrictDllSearchToSystemFolder();
  RunDecryptor();
  ExitProcess(0);
}
