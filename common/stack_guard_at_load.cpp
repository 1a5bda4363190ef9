// The stack guard of a DLL, made unpredictable while the C runtime's
// start-up loads the DLL: before DllMain and before the DLL's other
// constructors (priority 101, the first a program may take). No protected
// frame is live then, the runtime's own code being unprotected, so none
// returns through a changed guard. Compiled into each DLL as an object of
// its own (orx_dll_stack_guard), so that the linker always keeps it.
#include "orx/stack_guard.h"

namespace {

__attribute__((constructor(101), no_stack_protector)) void MakeStackGuardUnpredictable() {
  orx::InitStackGuard();
}

}  // namespace
