// The decryptor's entry point: no C runtime start-up, so no global
// constructors; the run's state (the launch, the archive's zone record, the
// application) lives on this stack. The stub starts it with the archive's
// path and, when it used one, the recipient's own folder: the command line
// is parsed here, once, into the launch (launch.h) that is handed down from
// here.
#include <windows.h>
#include <shellapi.h>

#include "decryptor_app.h"
#include "launch.h"
#include "orx/stack_guard.h"
#include "orx/system_dlls.h"
#include "orx/zone_record.h"

namespace {

void RunDecryptor() {
  // The arguments stay allocated until the process ends: the launch points
  // into them.
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  const orx::Launch launch = orx::ParseLaunch(args, count);
  // Now, before the dialog: the archive may be gone by the time it is
  // needed.
  orx::ZoneRecord zone;
  if (launch.archivePath) orx::ReadZoneRecord(launch.archivePath, &zone);
  orx::DecryptorApp app(launch, zone);
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
