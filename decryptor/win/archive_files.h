// Where the stub put the payload and the cleanup tool for this run.
#pragma once

#include <windows.h>

#include "launch.h"

namespace orx {

struct ArchiveFiles {
  wchar_t payload[MAX_PATH];
  wchar_t cleanupTool[MAX_PATH];
};

// The two files' paths under the folder the launch names. False when the
// paths cannot be built.
bool LocateArchiveFiles(const Launch& launch, ArchiveFiles* files);

}  // namespace orx
