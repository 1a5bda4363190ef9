// The stack protector for programs without the C runtime's start-up code
// and for the DLLs: they define the guard and the failure routine
// themselves (stack_chk_guard.cpp, stack_check_fail.cpp) and make the guard
// random before any protected function runs: a program first thing in its
// entry point, a DLL as it loads (stack_guard_at_load.cpp).
#pragma once

#include <stdint.h>

namespace orx {

// Makes the guard unpredictable. A program calls it first thing from an
// entry point declared with ORX_PROGRAM_ENTRY, which is itself left
// unprotected (its frame was laid out with the old guard); the work then
// goes on in a function of its own.
void InitStackGuard();

}  // namespace orx

#define ORX_PROGRAM_ENTRY(name) \
  extern "C" __attribute__((no_stack_protector, noreturn)) void __stdcall name()
