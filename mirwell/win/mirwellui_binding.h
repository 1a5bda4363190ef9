// The product's error window library, MirwellUI.dll, bound for one call.
#pragma once

#include "orx/unique_handle.h"

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
// all under an exception guard. On kFaulted `module` still holds the
// library if it was loaded and not yet being released; the caller releases
// it.
ErrorWindowResult ShowInErrorWindow(orx::Module& module, bool isInfo, const char* title,
                                    const char* buttonLabel, const char* message);

}  // namespace mirwell
