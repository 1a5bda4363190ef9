// Two MirwellUI.dll variants (one export each, by their .def files): one
// whose _ShowErrorMsg faults with an access violation, writing to reserved
// address space that has no memory behind it (address zero is no sure fault
// under Wine, which may map the lowest pages), and one that raises a
// software exception.
#include <windows.h>

extern "C" int __cdecl FaultingShowErrorMsg(bool, const char*, const char*, const char*) {
  auto* reserved = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS));
  *static_cast<int volatile*>(reserved) = 1;
  return 1;
}

// The same, with a software exception instead of a hardware fault.
extern "C" int __cdecl RaisingShowErrorMsg(bool, const char*, const char*, const char*) {
  RaiseException(0xE0424242, 0, 0, nullptr);
  return 1;
}
