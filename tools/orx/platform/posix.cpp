// The platform layer on Linux, macOS and the other POSIX systems.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <openssl/evp.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "orx/unique_handle.h"
#include "platform.h"

namespace orx::platform {

namespace {

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

// ---- Arguments and files ---------------------------------------------------

void DescriptorTraits::Release(int fd) { ::close(fd); }

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::FILE* CreateExclusive(const fs::path& path, bool shared) {
  Descriptor fd(
      ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, shared ? 0666 : 0600));
  if (!fd) return nullptr;
  std::FILE* file = fdopen(fd.get(), "wb");
  if (!file) {
    int saved = errno;
    fd.reset();
    ::unlink(path.c_str());
    errno = saved;
    return nullptr;
  }
  fd.release();  // the stream owns it now
  return file;
}

namespace {

void FromStat(const struct stat& st, FileFacts& facts) {
  facts.regular = S_ISREG(st.st_mode);
  facts.size = static_cast<std::uint64_t>(st.st_size);
  facts.device = static_cast<std::uint64_t>(st.st_dev);
  facts.inode = static_cast<std::uint64_t>(st.st_ino);
}

}  // namespace

bool FactsOfFile(std::FILE* file, FileFacts& facts) {
  struct stat st;
  if (::fstat(fileno(file), &st) != 0) return false;
  FromStat(st, facts);
  return true;
}

bool FactsOfPath(const fs::path& path, FileFacts& facts) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  FromStat(st, facts);
  return true;
}

bool CanCreateIn(const fs::path& dir) {
  const fs::path folder = dir.empty() ? fs::path(".") : dir;
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::size_t NameLimit(const fs::path& dir) {
  errno = 0;
  long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

bool SyncFile(std::FILE* file) { return ::fsync(fileno(file)) == 0; }

bool SyncFolder(const fs::path& dir) {
  Descriptor fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return false;
  if (::fsync(fd.get()) == 0) return true;
  return errno == EINVAL || errno == ENOTSUP;
}

bool CopyZoneInformation(const fs::path&, const fs::path&) { return true; }

// ---- Standard input and output, and where orx finds its parts -------------

void UseBinaryStandardStreams() {}

std::FILE* ReopenStandardInput() {
  Descriptor fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
  std::FILE* file = fd ? fdopen(fd.get(), "rb") : nullptr;
  if (file) fd.release();
  return file;
}

std::FILE* CreateUnnamedTemporary() {
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir = tmp && *tmp ? tmp : "/tmp";
#if defined(O_TMPFILE)
  Descriptor fd(::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  // Filesystems without unnamed files refuse with EOPNOTSUPP or EISDIR.
  if (!fd && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return nullptr;
#else
  Descriptor fd;
#endif
  if (!fd) {
    std::string name = dir + "/orx-XXXXXX";
    fd.reset(::mkostemp(&name[0], O_CLOEXEC));
    if (!fd) return nullptr;
    ::unlink(name.c_str());
  }
  std::FILE* file = fdopen(fd.get(), "w+b");
  if (file) fd.release();
  return file;
}

const char kDefaultPartsWhere[] = "../share/orx from orx's own folder (/usr/share/orx)";

fs::path DefaultPartsFolder() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = 0;
  return fs::path(self).parent_path().parent_path() / "share" / "orx";
}

bool Sha256(const void* data, std::size_t size, unsigned char digest[kSha256Bytes]) {
  unsigned int length = 0;
  return EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1 &&
         length == kSha256Bytes;
}

// ---- Secrets in memory -------------------------------------------------------

void ProtectProcessMemory() {
#if defined(__linux__)
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);
}

// ---- Interrupts --------------------------------------------------------------

namespace {

constexpr int kSlots = 4;
constexpr size_t kPathCapacity = 4096;

// A slot is written only while it is disarmed; the flag is raised after the
// path is complete and lowered before it changes.
char gPaths[kSlots][kPathCapacity];
volatile std::sig_atomic_t gArmed[kSlots];

volatile std::sig_atomic_t gTerminalArmed = 0;
int gTerminalFd = -1;
termios gTerminalSettings;

// Where the handler runs when the main thread's stack is used up, so that
// a SIGSEGV from a stack overflow removes the partial output too.
alignas(16) char gSignalStack[64 * 1024];

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

// Every signal whose default action ends the process, SIGKILL aside (it
// cannot be caught), so that none leaves the partial output behind. Those
// that dump core by default (QUIT, ILL, TRAP, ABRT, BUS, FPE, SEGV, SYS,
// XCPU, XFSZ) end orx without a dump even where ProtectProcessMemory could
// not prevent one; a fault of orx's own ends the same way.
const int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,    SIGTRAP, SIGABRT, SIGBUS,
    SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM,
    SIGXCPU, SIGXFSZ, SIGSYS,  SIGVTALRM, SIGPROF,
#if defined(__linux__)
    SIGSTKFLT, SIGPOLL, SIGPWR,
#endif
};

// The signals above and the real-time ones, which end the process too.
sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kEndingSignals) sigaddset(&set, signal);
#if defined(SIGRTMIN) && defined(SIGRTMAX)
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&set, signal);
#endif
  return set;
}

// The terminal settings to put back if a signal ends orx while the hidden
// prompt has echo switched off.
void ArmTerminal(int fd, const termios& settings) {
  gTerminalArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gTerminalFd = fd;
  gTerminalSettings = settings;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  gTerminalArmed = 1;
}

void DisarmTerminal() {
  gTerminalArmed = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace

void InstallInterruptHandlers() {
  stack_t stack;
  std::memset(&stack, 0, sizeof stack);
  stack.ss_sp = gSignalStack;
  stack.ss_size = sizeof gSignalStack;
  sigaltstack(&stack, nullptr);
  const sigset_t ending = EndingSignals();
  for (int signal = 1; signal < NSIG; ++signal) {
    if (sigismember(&ending, signal) != 1) continue;
    struct sigaction previous;
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    action.sa_flags = SA_ONSTACK;
    sigfillset(&action.sa_mask);  // one handler run at a time, uninterrupted
    sigaction(signal, &action, nullptr);
  }
}

bool InterruptRequested() { return false; }
int InterruptExitCode() { return 0; }

void RemovalOnInterrupt::Arm(const fs::path& path) {
  Disarm();
  const auto& native = path.native();
  if (native.size() >= kPathCapacity) return;
  for (int i = 0; i < kSlots; ++i) {
    if (gArmed[i]) continue;
    std::memcpy(gPaths[i], native.c_str(), native.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gArmed[i] = 1;
    slot_ = i;
    return;
  }
}

void RemovalOnInterrupt::Disarm() {
  if (slot_ >= 0 && slot_ < kSlots) gArmed[slot_] = 0;
  slot_ = -1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

InterruptHold::InterruptHold() {
  static_assert(sizeof(sigset_t) <= sizeof saved_, "room for a signal mask");
  const sigset_t block = EndingSignals();
  held_ = sigprocmask(SIG_BLOCK, &block, reinterpret_cast<sigset_t*>(saved_)) == 0;
}

InterruptHold::~InterruptHold() {
  if (held_) sigprocmask(SIG_SETMASK, reinterpret_cast<sigset_t*>(saved_), nullptr);
}

// ---- Moving a finished output into place -------------------------------------

namespace {

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

// rename() that fails with EEXIST instead of replacing; errno EINVAL, ENOSYS
// or ENOTSUP where the kernel or the filesystem does not offer it. Through
// the system call, since older C libraries have no wrapper.
int RenameNoReplace(const fs::path& from, const fs::path& to) {
#if defined(SYS_renameat2)
  return static_cast<int>(
      ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
#else
  (void)from;
  (void)to;
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

bool OutputMove::Prepare(const fs::path& target, bool replace, fs::path& temp,
                         RemovalOnInterrupt& tempRemoval,
                         fs::path (*newName)(const fs::path& target), std::string& error,
                         bool& exists) {
  Abandon();
  target_ = target;
  exists = false;
  way_ = Way::kReplace;
  if (replace) return true;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path probe = newName(target_);
    int rc, saved;
    {
      InterruptHold hold;
      rc = ::link(temp.c_str(), probe.c_str());
      saved = errno;
      if (rc == 0) ::unlink(probe.c_str());
    }
    if (rc == 0) {
      way_ = Way::kLink;
      return true;
    }
    if (saved == EEXIST) continue;
    // Hard links refused here: does the filesystem take a no-replace rename?
    // The probe moves the temporary file to a new temporary name.
    {
      InterruptHold hold;
      rc = RenameNoReplace(temp, probe);
      saved = errno;
      if (rc == 0) {
        temp = probe;
        tempRemoval.Arm(probe);
      }
    }
    if (rc == 0) {
      way_ = Way::kRenameNoReplace;
      return true;
    }
    if (saved == EEXIST) continue;
    // Neither: hold the final name with an empty placeholder from now on.
    {
      InterruptHold hold;
      placeholder_.reset(::open(target_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
      saved = errno;
      if (placeholder_) placeholderRemoval_.Arm(target_);
    }
    if (!placeholder_) {
      exists = saved == EEXIST;
      error = exists ? target_.u8string() + " exists already"
                     : "cannot create " + target_.u8string() + ": " + Reason(saved);
      return false;
    }
    struct stat st;
    if (::fstat(placeholder_.get(), &st) != 0) {
      error = "cannot examine " + target_.u8string() + ": " + Reason(errno);
      return false;
    }
    FromStat(st, placeholderFacts_);
    way_ = Way::kOverPlaceholder;
    return true;
  }
  error = "cannot create a temporary file beside " + target_.u8string();
  return false;
}

bool OutputMove::PlaceholderStillOurs() const {
  struct stat st;
  if (!placeholder_ || ::lstat(target_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  FileFacts now;
  FromStat(st, now);
  return SameFile(now, placeholderFacts_);
}

bool OutputMove::Move(const fs::path& temp, std::string& error, bool& exists) {
  int rc = 0;
  switch (way_) {
    case Way::kReplace:
      rc = std::rename(temp.c_str(), target_.c_str());
      break;
    case Way::kLink:
      rc = ::link(temp.c_str(), target_.c_str());
      if (rc == 0) ::unlink(temp.c_str());
      break;
    case Way::kRenameNoReplace:
      rc = RenameNoReplace(temp, target_);
      break;
    case Way::kOverPlaceholder:
      if (!PlaceholderStillOurs()) {
        placeholderRemoval_.Disarm();
        rc = -1;
        errno = EEXIST;
        break;
      }
      rc = std::rename(temp.c_str(), target_.c_str());
      break;
  }
  if (rc != 0) {
    exists = errno == EEXIST;
    error = exists ? target_.u8string() + " exists already"
                   : "cannot move the output into place as " + target_.u8string() + ": " +
                         Reason(errno);
    return false;
  }
  // The placeholder is the output now: nothing to remove any more.
  placeholderRemoval_.Disarm();
  placeholder_.reset();
  return true;
}

void OutputMove::Abandon() {
  if (placeholder_) {
    if (PlaceholderStillOurs()) ::unlink(target_.c_str());
    placeholder_.reset();
  }
  placeholderRemoval_.Disarm();
}

// ---- The terminal ------------------------------------------------------------------

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

namespace {

// Echo off, the prompt, one line, echo back on: a signal on the way puts the
// terminal back too.
bool ReadHidden(std::FILE* tty, const char* prompt, TypedLine& line) {
  const int fd = fileno(tty);
  termios saved{};
  bool echoOff = tcgetattr(fd, &saved) == 0;
  if (echoOff) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    // Armed before echo goes off: a signal from here on puts it back.
    ArmTerminal(fd, saved);
    tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::fputs(prompt, tty);
  std::fflush(tty);
  bool got = ReadLine(tty, line);
  if (echoOff) {
    tcsetattr(fd, TCSAFLUSH, &saved);
    DisarmTerminal();
  }
  return got;
}

}  // namespace

PromptResult PromptHidden(const char* prompt, TypedLine& line, std::string& error) {
  // The stream reads into this buffer, wiped when it goes, not one of its
  // own. Declared before the stream's owner, so that it outlives the stream.
  Secret<char[BUFSIZ]> buffer;
  Descriptor terminal(::open("/dev/tty", O_RDWR | O_CLOEXEC));
  if (!terminal) {
    error = "no terminal to ask for the password; use --password-file or --password-stdin";
    return PromptResult::kNoTerminal;
  }
  CFile tty(fdopen(terminal.get(), "r+"));
  if (!tty) {
    error = std::string("cannot use the terminal: ") + std::strerror(errno);
    return PromptResult::kIoFailure;
  }
  terminal.release();  // the stream owns it now
  std::setvbuf(tty.get(), buffer.value, _IOFBF, sizeof buffer.value);
  if (!ReadHidden(tty.get(), prompt, line)) {
    error = "no password was entered";
    return PromptResult::kRefused;
  }
  return PromptResult::kTyped;
}

}  // namespace orx::platform
