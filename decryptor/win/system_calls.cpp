#include "system_calls.h"

#include <shellapi.h>

#include "cleanup_launch.h"
#include "orx/archive/companion_rights.h"

namespace orx {

namespace {

// A token that cannot be read counts as elevated: its file is then shown,
// never opened, which is safe either way.
bool IsElevatedRun() {
  archive::TokenSids sids;
  return !archive::ReadTokenSids(&sids) || archive::IsElevated(sids);
}

}  // namespace

// Constant: the entries are link-time addresses, so the table is ready
// without start-up code (the program has none).
const SystemCalls kSystemCalls = {
    CreateFileW,         GetFullPathNameW,  GetTempFileNameW,    SetFileInformationByHandle,
    DeleteFileW,         ShellExecuteW,     GetSystemDefaultLangID, LocateArchiveFiles,
    LaunchCleanup,       WriteZoneRecord,   CarriesZoneRecord,   RemoveZoneRecord,
    IsElevatedRun,
};

}  // namespace orx
