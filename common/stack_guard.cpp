#include "orx/stack_guard.h"

#include <windows.h>

// The guard's initialiser (the guard itself is in stack_chk_guard.cpp).
extern "C" uintptr_t __stack_chk_guard;

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
