// The stack protector for programs without the C runtime's start-up code:
// they define the guard and the failure routine themselves (stack_guard.cpp)
// and make the guard random before any protected function runs.
#pragma once

#include <stdint.h>

namespace orx {

// Makes the guard unpredictable. Call it first thing from an entry point
// declared with ORX_PROGRAM_ENTRY, which is itself left unprotected (its
// frame was laid out with the old guard); the work then goes on in a
// function of its own.
void InitStackGuard();

}  // namespace orx

#define ORX_PROGRAM_ENTRY(name) \
  extern "C" __attribute__((no_stack_protector, noreturn)) void __stdcall name()
