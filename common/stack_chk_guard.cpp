// The guard the compiler's stack protector compares with on the way out of
// every protected function (stack_check_fail.cpp has what it calls on a
// mismatch). Programs with the C runtime's start-up code would get both
// from its support library; the archive's programs have none, and the DLLs
// take ours so that a mismatch ends the process at once. Until
// orx::InitStackGuard (stack_guard.cpp) runs the guard is zero
// (uninitialised data costs the programs no file space). In a file of its
// own, so that a linker map names InitStackGuard only where it is called.
#include <stdint.h>

extern "C" {

uintptr_t __stack_chk_guard;

}  // extern "C"
