#include "launch.h"

#include "archive_folders.h"

namespace orx {

Launch ParseLaunch(wchar_t* const* args, int count) {
  Launch launch;
  if (!args) return launch;
  if (count >= 2) launch.archivePath = args[1];
  wchar_t own[MAX_PATH];
  if (count >= 3 && archive::UserFolder(own) &&
      CompareStringOrdinal(args[2], -1, own, -1, TRUE) == CSTR_EQUAL) {
    launch.inUserFolder = true;
    launch.payloadName = archive::kUserPayloadName;
  }
  return launch;
}

}  // namespace orx
