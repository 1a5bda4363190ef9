#include "archive_files.h"

#include <shellapi.h>

#include "archive_folders.h"
#include "archive_layout.h"
#include "orx/unique_handle.h"

namespace orx {

namespace {

// True when the second argument names this user's own folder.
bool ToldUserFolder(const wchar_t (&userFolder)[MAX_PATH]) {
  int count = 0;
  LocalMemory args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args || count < 3) return false;
  const wchar_t* told = static_cast<wchar_t**>(args.get())[2];
  return CompareStringOrdinal(told, -1, userFolder, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool LocateArchiveFiles(ArchiveFiles* files) {
  wchar_t folder[MAX_PATH];
  if (archive::UserFolder(folder) && ToldUserFolder(folder)) {
    return archive::JoinPath(files->payload, folder, archive::kUserPayloadName) &&
           archive::JoinPath(files->cleanupTool, folder, archive::kCleanupName);
  }
  return archive::WindowsFolder(folder) &&
         archive::JoinPath(files->payload, folder, archive::kPayloadName) &&
         archive::JoinPath(files->cleanupTool, folder, archive::kCleanupName);
}

}  // namespace orx
