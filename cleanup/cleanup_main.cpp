// The cleanup tool: deletes the one file named on its command line, half a
// second after it starts and once more five seconds later, so that a caller
// may pass its own executable and end at once. It shows nothing, writes
// nothing and always ends with exit code 0; the outcome of each attempt is
// not examined, and the path is used literally (no wildcard expansion).
//
// Built without the C runtime's start-up code so that it fits its slot.

#include <windows.h>
#include <shellapi.h>

#include "orx/stack_guard.h"
#include "orx/system_dlls.h"
#include "orx/unique_handle.h"

namespace {

constexpr DWORD kFirstAttemptDelayMs = 500;
constexpr DWORD kSecondAttemptDelayMs = 5000;

void RunCleanup() {
  int count = 0;
  orx::LocalMemory argv(CommandLineToArgvW(GetCommandLineW(), &count));
  LPWSTR* args = static_cast<LPWSTR*>(argv.get());
  // Exactly one argument besides the program name; anything else (none, or
  // an unquoted path split at a blank) deletes nothing.
  if (!args || count != 2 || !args[1]) return;
  Sleep(kFirstAttemptDelayMs);
  DeleteFileW(args[1]);
  Sleep(kSecondAttemptDelayMs);
  DeleteFileW(args[1]);
}

}  // namespace

ORX_PROGRAM_ENTRY(CleanupEntry) {
  orx::InitStackGuard();
  // Started with the download folder as its current one: no DLL may come
  // from there (the shell's own loads for CommandLineToArgvW included).
  orx::RestrictDllSearchToSystemFolder();
  RunCleanup();
  ExitProcess(0);
}
