// The product's error window library, MirwellUI.dll, bound for one call.
#pragma once

namespace mirwell {

// MirwellUI's export "_ShowErrorMsg": shows the window and returns only when
// it is gone; it copies what it keeps of the three texts.
using ShowErrorMsgFn = int(__cdecl*)(bool isInfo, const char* title, const char* buttonLabel,
                                     const char* message);

enum class ErrorWindowResult {
  kShown,      // _ShowErrorMsg was called and returned; the library is released
  kNotLoaded,  // "MirwellUI.dll" could not be loaded
  kNoExport,   // it lacks "_ShowErrorMsg"; the library is released
  kFaulted,    // an exception left the loading, the call or the release
};

// Loads "MirwellUI.dll" by bare name (the library search order, the calling
// program's folder first), calls "_ShowErrorMsg" and releases the library,
// all under an exception guard.
//
// On kFaulted the call is cleaned up after as far as it can be: the
// top-level windows of this thread that were created during the call and
// still exist are destroyed, and those that were enabled before it and are
// disabled now (the owner under a modal window) are enabled again. The
// library is then kept loaded for the rest of the process, since code of it
// may still be reachable (a window class, a timer, a hook) and unloading it
// would turn the next message into a crash.
ErrorWindowResult ShowInErrorWindow(bool isInfo, const char* title, const char* buttonLabel,
                                    const char* message);

}  // namespace mirwell
