// What orx undoes when it is interrupted: Ctrl-C, SIGTERM or SIGHUP (on
// Windows Ctrl-C, Ctrl-Break or a closed console window).
//
// POSIX: the handler restores the terminal settings armed by the password
// prompt, unlinks the paths armed by PendingFile and ends with _exit(128 +
// signal). It does nothing else, because only async-signal-safe calls are
// allowed there: the paths are copied into static buffers when they are
// armed, not when the signal arrives.
//
// Windows: the console's control handler runs on a thread of its own while
// the main thread holds the temporary file open (it cannot be deleted from
// there), so it only records the request; the write paths check Requested()
// and fail, the files are removed by the usual failure path, and main ends
// with ExitCode().
#pragma once

#include <filesystem>

namespace orx::interrupt {

// Installs the handlers once, at start. A signal that was ignored when orx
// started (a background job of a non-interactive shell) stays ignored.
void Install();

// Arms the removal of `path` on interrupt; returns a slot for Disarm, or -1
// when no slot is free or the path does not fit one (then it is not removed).
// POSIX only: on Windows the failure path removes the files.
int ArmRemoval(const std::filesystem::path& path);
void Disarm(int slot);

// Keeps the signals away while files are moved into place, so that the
// handler sees the output either still pending or committed, never half way.
class Hold {
 public:
  Hold();
  ~Hold();
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  bool held_ = false;
  unsigned char saved_[128];  // the previous signal mask (sigset_t)
};

// Windows: whether an interrupt was requested, and the exit code it asks for
// (128 + 2 for Ctrl-C and Ctrl-Break, 128 + 1 for a closed console). On
// POSIX the handler ends the process itself: false and 0.
bool Requested();
int ExitCode();

#if !defined(_WIN32)
// The terminal settings to put back if a signal ends orx while the password
// prompt has echo switched off. `settings` points to a termios.
void ArmTerminal(int fd, const void* settings);
void DisarmTerminal();
#endif

}  // namespace orx::interrupt
