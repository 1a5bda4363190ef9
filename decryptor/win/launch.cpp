#include "launch.h"

namespace orx {

Launch ParseLaunch(wchar_t* const* args, int count) {
  Launch launch;
  if (!args) return launch;
  if (count >= 2) launch.archivePath = args[1];
  wchar_t own[MAX_PATH];
  if (count >= 3 && archive::UserFolder(own) &&
      CompareStringOrdinal(args[2], -1, own, -1, TRUE) == CSTR_EQUAL) {
    launch.inUserFolder = true;
  }
  if (count >= 4 && archive::IsRunPayloadName(args[3])) launch.runPayload = args[3];
  return launch;
}

bool LocateArchiveFiles(const Launch& launch, ArchiveFiles* files) {
  wchar_t folder[MAX_PATH];
  bool found = launch.inUserFolder ? archive::UserFolder(folder) : archive::WindowsFolder(folder);
  return found &&
         archive::PayloadPath(files->payload, folder, launch.inUserFolder,
                              launch.runPayload ? launch.runPayload : archive::kPayloadName) &&
         archive::JoinPath(files->cleanupTool, folder, archive::kCleanupName);
}

}  // namespace orx
