// Two MirwellUI.dll variants (one export each, by their .def files). One
// opens its window as the real one does (owned by the active window, which
// it disables), then faults with an access violation inside its message
// loop, leaving a window whose procedure is in this library and whose timer
// keeps sending it messages. The other raises a software exception before
// showing anything.
#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr char kWindowCaption[] = "Faulting error window";
constexpr UINT_PTR kFaultTimer = 1;
constexpr UINT kFaultAfterMs = 1000;  // time for a test to see the window first

// Writes to reserved address space that has no memory behind it (address
// zero is no sure fault under Wine, which may map the lowest pages).
void Fault() {
  auto* reserved = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS));
  *static_cast<int volatile*>(reserved) = 1;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kFaultTimer) Fault();
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

extern "C" int __cdecl FaultingShowErrorMsg(bool, const char*, const char*, const char*) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
  windowClass.lpszClassName = "FaultingMirwellUI";
  RegisterClassA(&windowClass);
  HWND owner = GetActiveWindow();
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, kWindowCaption, WS_POPUP | WS_CAPTION,
                                100, 100, 320, 160, owner, nullptr, windowClass.hInstance, nullptr);
  if (owner != nullptr) EnableWindow(owner, FALSE);
  ShowWindow(window, SW_SHOW);
  SetTimer(window, kFaultTimer, kFaultAfterMs, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 1;
}

extern "C" int __cdecl RaisingShowErrorMsg(bool, const char*, const char*, const char*) {
  RaiseException(0xE0424242, 0, 0, nullptr);
  return 1;
}
