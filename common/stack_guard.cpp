#include "orx/stack_guard.h"

#include <windows.h>

// The guard the compiler's stack protector compares with on the way out of
// every protected function (stack_check_fail.cpp has what it calls on a
// mismatch). Programs with the C runtime's start-up code would get both
// from its support library; the archive's programs have none. Until
// InitStackGuard runs the guard is zero (uninitialised data costs the
// programs no file space).
extern "C" {

uintptr_t __stack_chk_guard;

}  // extern "C"

namespace orx {

void InitStackGuard() {
  // The high-resolution clock, the process and where the stack lies (the
  // system places it anew for each process).
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uintptr_t guard = static_cast<uintptr_t>(counter.QuadPart) ^
                    (static_cast<uintptr_t>(counter.QuadPart >> 32) << 7) ^
                    (static_cast<uintptr_t>(GetCurrentProcessId()) << 16) ^
                    reinterpret_cast<uintptr_t>(&counter) ^ GetTickCount();
  // A zero low byte: a runaway string copy cannot write the guard back.
  __stack_chk_guard = guard & ~static_cast<uintptr_t>(0xFF);
}

}  // namespace orx
