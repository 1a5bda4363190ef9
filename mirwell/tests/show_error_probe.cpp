// A product program for the display tests: calls ShowErrorMessage and tells
// through its exit code what came back.
//
//   mirwell_show_probe <category> <detailCode> <calls> [owner [pump]]
//
// With "owner", it first shows a window captioned "Mirwell probe owner" and
// passes it as the owner. With "pump", it then goes on as a program does
// after the calls: it dispatches its thread's messages for two seconds.
// Exit code: 1 when every call returned true, 0 when every call returned
// false, 2 when they differed; plus 4 when MirwellUI.dll was still loaded
// after a call, 8 for bad arguments. A crash ends it with the exception's
// code, without a debugger.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "mirwell.h"

namespace {

void PumpMessages(DWORD forMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < forMs) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(
      [](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_EXECUTE_HANDLER; });
  if (argc < 4) return 8;
  int category = std::atoi(argv[1]);
  unsigned int detail = static_cast<unsigned int>(std::strtoul(argv[2], nullptr, 10));
  int calls = std::atoi(argv[3]);
  HWND owner = nullptr;
  if (argc > 4 && std::strcmp(argv[4], "owner") == 0) {
    owner = CreateWindowExA(0, "STATIC", "Mirwell probe owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            50, 50, 300, 200, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(owner);
    SetActiveWindow(owner);
  }
  bool pump = argc > 5 && std::strcmp(argv[5], "pump") == 0;
  int trueCount = 0;
  bool leftLoaded = GetModuleHandleA("MirwellUI.dll") != nullptr;
  for (int i = 0; i < calls; ++i) {
    if (ShowErrorMessage(owner, category, detail)) ++trueCount;
    if (GetModuleHandleA("MirwellUI.dll") != nullptr) leftLoaded = true;
  }
  if (pump) PumpMessages(2000);
  int code = trueCount == calls ? 1 : trueCount == 0 ? 0 : 2;
  if (owner) DestroyWindow(owner);
  return code + (leftLoaded ? 4 : 0);
}
