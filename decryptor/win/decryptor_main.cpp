// The decryptor's entry point: no C runtime start-up, so no global
// constructors; the run's state (the launch, the archive's zone record, the
// application) lives on this stack. The stub starts it with the archive's
// path and, when it used one, the recipient's own folder: the command line
// is parsed here, once, into the launch (launch.h) that is handed down from
// here, and this run's payload is held for deletion.
#include <windows.h>
#include <shellapi.h>

#include "cleanup_launch.h"
#include "decryptor_app.h"
#include "launch.h"
#include "orx/stack_guard.h"
#include "orx/system_dlls.h"
#include "orx/unique_handle.h"
#include "orx/zone_record.h"

namespace {

void RunDecryptor() {
  // The arguments stay allocated until the process ends: the launch points
  // into them.
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  const orx::Launch launch = orx::ParseLaunch(args, count);
  // This run's own payload is this run's to remove, however it ends (a
  // wrong password, Cancel, a second instance that gives up, a crash):
  // held for deletion from now on, so that failed attempts do not pile up
  // copies of a large payload. The flow still reads it (it lets deletion
  // in); nothing else may write it meanwhile.
  orx::ArchiveFiles files;
  orx::FileHandle payload;
  if (launch.runPayload && orx::LocateArchiveFiles(launch, &files)) {
    payload.reset(CreateFileW(files.payload, DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  }
  // The cleanup tool, held from now until it is started, so that nobody,
  // the same user's unelevated programs included, changes it meanwhile.
  orx::HoldCleanupTool(launch);
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
