#include "archive_files.h"

#include "archive_folders.h"

namespace orx {

bool LocateArchiveFiles(const Launch& launch, ArchiveFiles* files) {
  wchar_t folder[MAX_PATH];
  bool found = launch.inUserFolder ? archive::UserFolder(folder) : archive::WindowsFolder(folder);
  return found && archive::JoinPath(files->payload, folder, launch.payloadName) &&
         archive::JoinPath(files->cleanupTool, folder, archive::kCleanupName);
}

}  // namespace orx
