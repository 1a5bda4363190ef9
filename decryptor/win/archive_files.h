// Where the stub put the payload and the cleanup tool for this run.
#pragma once

#include <windows.h>

namespace orx {

struct ArchiveFiles {
  wchar_t payload[MAX_PATH];
  wchar_t cleanupTool[MAX_PATH];
};

// The stub passes the archive's path and, when it put the two files into
// the recipient's own folder, that folder as a second argument; without it
// they are under the Windows folder. The folder is taken only when it is
// exactly this user's own folder, so that whatever the command line says,
// the decryptor reads, removes and starts nothing but the fixed names in
// one of those two folders. False when the paths cannot be built.
bool LocateArchiveFiles(ArchiveFiles* files);

}  // namespace orx
