#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "exit_codes.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace orx::interrupt {

namespace {

#if defined(_WIN32)
std::atomic<int> gRequested{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      gRequested = kExitSignalBase + 2;
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      gRequested = kExitSignalBase + 1;
      // Windows ends the process when this returns: give the main thread
      // time to stop writing and remove its files (it exits before this ends).
      Sleep(4000);
      return TRUE;
    default:
      return FALSE;
  }
}
#else
constexpr int kSlots = 4;
constexpr size_t kPathCapacity = 4096;

// A slot is written only while it is disarmed; the flag is raised after the
// path is complete and lowered before it changes.
char gPaths[kSlots][kPathCapacity];
volatile std::sig_atomic_t gArmed[kSlots];

volatile std::sig_atomic_t gTerminalArmed = 0;
int gTerminalFd = -1;
termios gTerminalSettings;

void OnSignal(int signal) {
  if (gTerminalArmed) {
    tcsetattr(gTerminalFd, TCSANOW, &gTerminalSettings);
    (void)!write(gTerminalFd, "\n", 1);
  }
  for (int i = 0; i < kSlots; ++i) {
    if (gArmed[i]) unlink(gPaths[i]);
  }
  _exit(kExitSignalBase + signal);
}

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#endif

}  // namespace

void Install() {
#if defined(_WIN32)
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  for (int signal : kSignals) {
    struct sigaction previous;
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigfillset(&action.sa_mask);  // one handler run at a time, uninterrupted
    sigaction(signal, &action, nullptr);
  }
#endif
}

#if defined(_WIN32)
int ArmRemoval(const std::filesystem::path&) { return -1; }
void Disarm(int) {}
#else
int ArmRemoval(const std::filesystem::path& path) {
  const auto& native = path.native();
  if (native.size() >= kPathCapacity) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (gArmed[i]) continue;
    std::memcpy(gPaths[i], native.c_str(), native.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gArmed[i] = 1;
    return i;
  }
  return -1;
}

void Disarm(int slot) {
  if (slot >= 0 && slot < kSlots) gArmed[slot] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}
#endif

Hold::Hold() {
#if !defined(_WIN32)
  static_assert(sizeof(sigset_t) <= sizeof saved_, "room for a signal mask");
  sigset_t block;
  sigemptyset(&block);
  for (int signal : kSignals) sigaddset(&block, signal);
  held_ = sigprocmask(SIG_BLOCK, &block, reinterpret_cast<sigset_t*>(saved_)) == 0;
#endif
}

Hold::~Hold() {
#if !defined(_WIN32)
  if (held_) sigprocmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
#endif
}

#if defined(_WIN32)
bool Requested() { return gRequested != 0; }
int ExitCode() { return gRequested; }
#else
bool Requested() { return false; }
int ExitCode() { return 0; }

void ArmTerminal(int fd, const void* settings) {
  gTerminalArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gTerminalFd = fd;
  std::memcpy(&gTerminalSettings, settings, sizeof gTerminalSettings);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gTerminalArmed = 1;
}

void DisarmTerminal() {
  gTerminalArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}
#endif

}  // namespace orx::interrupt
