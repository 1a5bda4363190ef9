// How the stub started this run: "<decryptor> <archive> <folder> <payload>".
// The command line is parsed once, at the entry, into this value, which is
// handed down to whatever needs it (the zone information, the payload, the
// cleanup tool); nothing else reads the command line. Also where the stub
// put the payload and the cleanup tool for this run, and under which name
// the payload (orx/archive/folders.h).
#pragma once

#include <windows.h>

#include "orx/archive/folders.h"

namespace orx {

struct Launch {
  // The archive's path as the stub gave it; null when the program was not
  // started by an archive.
  const wchar_t* archivePath = nullptr;
  // Where the stub put the payload and the cleanup tool: the recipient's
  // own folder (orx/archive/folders.h), or else the Windows folder.
  bool inUserFolder = false;
  // This run's own payload name (orx/archive/folders.h); null for a
  // decryptor started without one, which uses the fixed name and leaves
  // the payload to the next run unless it decrypted it.
  const wchar_t* runPayload = nullptr;
};

// The launch that `count` arguments (as CommandLineToArgvW splits the
// command line, the program first; none when null) state. They stay the
// caller's and must outlive the launch. The stub names the recipient's own
// folder in the second argument; any other text there means the Windows
// folder. The third is taken only when it is exactly a run's payload name.
// Whatever the command line says, the decryptor reads, removes and starts
// nothing but the fixed names and a run's payload in one of those two
// folders.
Launch ParseLaunch(wchar_t* const* args, int count);

struct ArchiveFiles {
  wchar_t payload[MAX_PATH];
  wchar_t cleanupTool[MAX_PATH];
};

// The two files' paths under the folder the launch names. False when the
// paths cannot be built.
bool LocateArchiveFiles(const Launch& launch, ArchiveFiles* files);

}  // namespace orx
