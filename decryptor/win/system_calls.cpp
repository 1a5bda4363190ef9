#include "system_calls.h"

#include <shellapi.h>

#include "cleanup_launch.h"

namespace orx {

// Constant: the entries are link-time addresses, so the table is ready
// without start-up code (the program has none).
const SystemCalls kSystemCalls = {
    CreateFileW,         GetFullPathNameW,  GetTempFileNameW,    SetFileInformationByHandle,
    DeleteFileW,         ShellExecuteW,     GetSystemDefaultLangID, LocateArchiveFiles,
    LaunchCleanup,       WriteZoneRecord,   CarriesZoneRecord,   RemoveZoneRecord,
    RunsElevated,
};

}  // namespace orx
