// A MirwellUI.dll whose _ShowErrorMsg faults with an access violation.
#include <windows.h>

extern "C" int __cdecl FaultingShowErrorMsg(bool, const char*, const char*, const char*) {
  int* volatile nowhere = nullptr;
  *nowhere = 1;
  return 1;
}
