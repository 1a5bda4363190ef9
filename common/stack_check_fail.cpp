// What a function protected by the stack protector calls when its guard was
// overwritten. In a file of its own, so that a program's linker map names
// it only when the program has protected code (the static check reads it).
#include <windows.h>

namespace {
constexpr UINT kStackBufferOverrun = 0xC0000409;  // STATUS_STACK_BUFFER_OVERRUN
}

extern "C" {

// The stack is no longer to be trusted: end at once, running nothing of
// this process's own, with the code Windows uses for an overrun.
__attribute__((noreturn)) void __stack_chk_fail() {
  TerminateProcess(GetCurrentProcess(), kStackBufferOverrun);
  for (;;) {
  }
}

}  // extern "C"
