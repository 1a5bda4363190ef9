// Library entry point: the last system error starts at 0 in the process and
// is set back to 0 whenever a thread starts; nothing else happens here.
#include <windows.h>

#include "core/status.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) {
    ostrel::ResetLastSystemError();
  }
  return TRUE;
}
