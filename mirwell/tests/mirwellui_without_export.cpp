// A MirwellUI.dll that lacks "_ShowErrorMsg" (it offers the name without
// the underscore instead).
#include <windows.h>

extern "C" int __cdecl WrongShowErrorMsg(bool, const char*, const char*, const char*) {
  MessageBoxA(nullptr, "must not be called", "wrong export", MB_OK);
  return 1;
}
