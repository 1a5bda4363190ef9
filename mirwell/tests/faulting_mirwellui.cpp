// A MirwellUI.dll whose _ShowErrorMsg faults with an access violation: it
// writes to reserved address space that has no memory behind it. (Address
// zero is no sure fault under Wine, which may map the lowest pages.)
#include <windows.h>

extern "C" int __cdecl FaultingShowErrorMsg(bool, const char*, const char*, const char*) {
  auto* reserved = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS));
  *static_cast<int volatile*>(reserved) = 1;
  return 1;
}
