#include "orx/stack_guard.h"

#include <windows.h>

// The guard the compiler's stack protector compares with on the way out of
// every protected function (stack_check_fail.cpp has what it calls on a
// mismatch). Programs with the C runtime's start-up code would get both
// from its support library; the archive's programs have none. Until
// InitStackGuard runs the guard is a fixed value (with a zero byte, which
// string copies stop at).
extern "C" {

uintptr_t __stack_chk_guard = static_cast<uintptr_t>(0x2F8A5C00u);

}  // extern "C"

namespace orx {

void InitStackGuard() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uintptr_t guard = static_cast<uintptr_t>(counter.QuadPart) ^
                    (static_cast<uintptr_t>(counter.QuadPart >> 32) << 7) ^ now.dwLowDateTime ^
                    (static_cast<uintptr_t>(GetCurrentProcessId()) << 16) ^
                    GetCurrentThreadId() ^ reinterpret_cast<uintptr_t>(&counter);
  // A zero low byte: a runaway string copy cannot write the guard back.
  __stack_chk_guard = guard & ~static_cast<uintptr_t>(0xFF);
}

}  // namespace orx
