// Has the cleanup tool delete files once the decryptor has ended.
#pragma once

#include <windows.h>

#include "launch.h"

namespace orx {

// Holds the cleanup tool where the stub put it for `launch` (launch.h; a
// launch by no archive: the Windows folder) from now until it is started,
// opened with read sharing alone (no writer, no removal, no rename),
// when it is a plain file that may be started for this token: owned by the
// user, the Administrators or the system; in an elevated run owned by the
// Administrators or the system and changeable by nobody else
// (orx/archive/companion_rights.h). False, nothing held, otherwise.
bool HoldCleanupTool(const Launch& launch);

// Whether this process runs elevated (orx/archive/companion_rights.h), as
// HoldCleanupTool read its token; a token not read (yet) counts as
// elevated: the decrypted file is then shown in its folder, never opened,
// which is safe either way.
bool RunsElevated();

// Starts the cleanup tool held (HoldCleanupTool) and lets go of it; starts
// nothing when none is held (a second call included),
// hidden, through the shell's "open" verb, with one double-quoted path: first for
// extraPath when given, then always for the running program's own file. Returns at once without
// waiting for either start, and reports nothing: a start that fails, or a
// path too long for its 260-unit buffer (more than 257 characters between
// the quotes), simply leaves that file in place.
// The single-instance mutex the program holds (decryptor_app.h) is let go
// of first: nothing after the cleanup start needs it, and a second instance
// waiting for it must not wait for the shell's starts as well.
void LaunchCleanup(const wchar_t* extraPath = nullptr);

// The mutex LaunchCleanup lets go of; none until the program says.
void ReleaseBeforeCleanup(HANDLE instance);

}  // namespace orx
