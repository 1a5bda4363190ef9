// What differs between POSIX and Windows: one header, one implementation
// per platform (posix.cpp, windows.cpp), chosen by CMake. The rest of orx
// is written against these calls and carries no platform conditionals of
// its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "orx/secret.h"
#include "orx/unique_handle.h"

namespace orx::platform {

namespace fs = std::filesystem;

// A C runtime file descriptor (open, _wopen), for the shared owner.
struct DescriptorTraits {
  using Type = int;
  static Type None() { return -1; }
  static void Release(Type fd);
};
using Descriptor = UniqueHandle<DescriptorTraits>;

// ---- Arguments and files ---------------------------------------------------

// The command-line arguments after the program name, as UTF-8. Windows'
// ANSI argv loses characters outside the code page, so the wide command line
// is taken there.
std::vector<std::string> Arguments(int argc, char** argv);

// fopen for a path of this platform's kind (wide on Windows).
std::FILE* OpenFile(const fs::path& path, const char* mode);

// Creates `path` for writing ("wb") only if nothing has that name, a dangling
// link included. A `shared` file may be read by others as the umask allows
// (0666 less the umask: an archive or payload, made to be sent); any other
// is the user's alone (0600: plaintext). Windows leaves both to the
// folder's permissions. Null with errno set (EEXIST when the name is taken).
std::FILE* CreateExclusive(const fs::path& path, bool shared);

// Whether this process may create files in the folder `dir`. False with
// errno set (ENOENT, ENOTDIR, EACCES, EROFS), so that an output folder that
// cannot take the output is refused before the password is asked.
bool CanCreateIn(const fs::path& dir);

// What orx needs to know about an open file or a path: whether it is a
// regular file, its size and its identity (device and inode, or volume and
// file index on Windows), which tells two names of one file apart from two
// files.
struct FileFacts {
  bool regular = false;  // a plain file on disk: not a pipe, device or directory
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

inline bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.device == b.device && a.inode == b.inode;
}

// False with errno set (on Windows too) when the facts cannot be had. A pipe
// or console on Windows has no identity: all zero, not regular; so has an
// open handle Windows gives no information about, which is then read as a
// stream.
bool FactsOfFile(std::FILE* file, FileFacts& facts);
// Follows symbolic links: the facts of the file the path leads to.
bool FactsOfPath(const fs::path& path, FileFacts& facts);

// The longest file name the folder `dir` takes, in the units of this
// platform's native paths (bytes on POSIX, UTF-16 units on Windows), so that
// a name can be refused before any work rather than found too long at the
// end. POSIX: pathconf(_PC_NAME_MAX) of the folder, 255 (the usual limit)
// where it has none to give; Windows: 255, the limit of NTFS, FAT and exFAT.
std::size_t NameLimit(const fs::path& dir);

// Writes a flushed stream's data to the disk (fsync; FlushFileBuffers on
// Windows), so that a file that takes its final name next is not empty
// there after a power cut. False with errno set.
bool SyncFile(std::FILE* file);
// Makes the names in `dir` durable after a rename or link into it: fsync of
// the folder on POSIX. True where the filesystem offers no such thing
// (EINVAL, ENOTSUP) and on Windows, where the move itself writes through.
// False with errno set.
bool SyncFolder(const fs::path& dir);

// Gives the file `to` the zone information of `from` (Windows: the
// Zone.Identifier stream that marks a download), so that the system keeps
// warning about what was unpacked from a file from the internet; read and
// written as the decryptor does, with its rules (orx/zone_record.h: a
// record that cannot be read whole, or one over 64 KiB, stands for the
// internet zone). True when `to` carries it now, or `from` had none (and
// always on POSIX, which has no such thing).
bool CopyZoneInformation(const fs::path& from, const fs::path& to);

// ---- Standard input and output, and where orx finds its parts -------------

// Standard input and output carry bytes unchanged (binary mode on Windows;
// nothing to do on POSIX). Called once at start.
void UseBinaryStandardStreams();

// Standard input as a stream of its own (a second descriptor: closing it
// leaves standard input open), for reading a file given as "-". Null with
// errno set.
std::FILE* ReopenStandardInput();

// A new temporary file for reading and writing that has no name on disk,
// private to the user, in $TMPDIR or /tmp (Windows: the user's temporary
// folder): POSIX opens it with O_TMPFILE, or unlinks it at once where that
// is not offered; Windows deletes it on close. So no ending of orx, SIGKILL
// or a power cut included, leaves it behind. Null with errno set.
std::FILE* CreateUnnamedTemporary();

// The folder of the Windows programs `pack --archive` and `archive` use when
// none is named: beside the package's data, "../share/orx" from the folder
// of the running program on POSIX (/usr/share/orx for /usr/bin/orx, and
// wherever the install put both), the folder of orx.exe on Windows. Empty
// when the program's own path cannot be found.
fs::path DefaultPartsFolder();
// Where that is, in words for the help.
extern const char kDefaultPartsWhere[];

// SHA-256 of `size` bytes from the system's provider (OpenSSL on POSIX, CNG
// on Windows), for showing the programs an archive carries beside the
// release's SHA256SUMS. False when the provider fails.
constexpr std::size_t kSha256Bytes = 32;
bool Sha256(const void* data, std::size_t size, unsigned char digest[kSha256Bytes]);

// ---- Secrets in memory -------------------------------------------------------

// Called first thing: orx holds passwords, keys and plaintext in memory, so
// no core dump is written of it and no other process of the user may read
// its memory or attach to it. Linux: not dumpable, which also keeps ptrace
// and /proc/<pid>/mem to processes with CAP_SYS_PTRACE; all of POSIX: a
// zero core size limit. Windows offers no such switch for a process of its
// own: nothing happens there.
void ProtectProcessMemory();

// ---- Interrupts --------------------------------------------------------------
//
// POSIX: every signal that would end orx (SIGKILL aside, which no process
// can catch): Ctrl-C (SIGINT), Ctrl-\\ (SIGQUIT), SIGTERM, SIGHUP, a closed
// pipe (SIGPIPE), timers, the user signals, the resource limits (SIGXCPU,
// SIGXFSZ), the real-time signals and the faults (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT, ...), which would otherwise dump core. On Windows
// Ctrl-C, Ctrl-Break or a closed console window.
//
// POSIX: the handler restores the terminal if the hidden prompt has echo
// off, unlinks the armed paths and ends with _exit(128 + signal). It does
// nothing else, because only async-signal-safe calls are allowed there: the
// paths are copied into static buffers when they are armed, not when the
// signal arrives. It runs on a stack of its own on the main thread, so that
// a stack overflow there still removes the partial output.
//
// Windows: the console's control handler runs on a thread of its own while
// the main thread holds the temporary file open (it cannot be deleted from
// there), so it only records the request; the write paths check
// InterruptRequested() and fail, the files are removed by the usual failure
// path, and main ends with InterruptExitCode().

// An interrupt ends orx with 128 + the signal's number, the shells' way.
constexpr int kExitSignalBase = 128;

// Installs the handlers once, at start. A signal that was ignored when orx
// started (a background job of a non-interactive shell) stays ignored.
void InstallInterruptHandlers();

// Whether an interrupt was requested, and the exit code it asks for (Windows:
// 128 + 2 for Ctrl-C and Ctrl-Break, 128 + 1 for a closed console). On POSIX
// the handler ends the process itself: false and 0.
bool InterruptRequested();
int InterruptExitCode();

// A path the interrupt handler removes while it is armed; disarmed by
// Disarm(), by arming another path, or when the holder goes. Windows needs
// none (see above): there it does nothing.
class RemovalOnInterrupt {
 public:
  RemovalOnInterrupt() = default;
  RemovalOnInterrupt(const RemovalOnInterrupt&) = delete;
  RemovalOnInterrupt& operator=(const RemovalOnInterrupt&) = delete;
  ~RemovalOnInterrupt() { Disarm(); }

  // A path too long for the handler's buffers, or more armed paths than it
  // has room for, is not removed on interrupt.
  void Arm(const fs::path& path);
  void Disarm();

 private:
  int slot_ = -1;
};

// Keeps interrupts away while it lives, so that a file is created and armed,
// or moved into place and disarmed, as one step: the handler sees the output
// either still pending or committed, never half way.
class InterruptHold {
 public:
  InterruptHold();
  ~InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;

 private:
  bool held_ = false;
  unsigned char saved_[128];  // the previous signal mask
};

// ---- Moving a finished output into place -------------------------------------
//
// Without `replace` an existing target is never overwritten, on any
// filesystem. How, is decided by Prepare() before any data is written, so that
// Move() does not fail after all the work for a reason known at the start.
// POSIX:
//   1. link() the temporary file to the target (fails if the target exists);
//   2. where hard links are refused (FAT, exFAT, many network and FUSE
//      mounts), rename with RENAME_NOREPLACE;
//   3. where that is refused too, create the target exclusively as an empty
//      placeholder now, and at the move rename the temporary file over it
//      once it has been checked to be still the placeholder (same device
//      and inode). The race left: a file put in the placeholder's place
//      between that check and the rename is replaced. Only a process that
//      removes a file orx has just created can get there.
// Windows: MoveFileExW without MOVEFILE_REPLACE_EXISTING is the no-replace
// move on every filesystem; nothing needs preparing.
class OutputMove {
 public:
  OutputMove() = default;
  OutputMove(const OutputMove&) = delete;
  OutputMove& operator=(const OutputMove&) = delete;
  ~OutputMove() { Abandon(); }

  // Chooses the way for the temporary file `temp` (armed in `tempRemoval`)
  // to become `target`. A probe may give the temporary file a new name from
  // `newName`: `temp` and its removal then follow it. False with `error`
  // set, and `exists` when the target exists.
  bool Prepare(const fs::path& target, bool replace, fs::path& temp,
               RemovalOnInterrupt& tempRemoval, fs::path (*newName)(const fs::path& target),
               std::string& error, bool& exists);
  // Moves the closed temporary file to the target as prepared. False with
  // `error` set, and `exists` when the target exists (or the placeholder was
  // replaced); the temporary file is then still there.
  bool Move(const fs::path& temp, std::string& error, bool& exists);
  // After the move, or instead of it: lets go of the placeholder, removing
  // it while it is still the one created.
  void Abandon();

 private:
  enum class Way { kReplace, kLink, kRenameNoReplace, kOverPlaceholder };

  bool PlaceholderStillOurs() const;

  fs::path target_;
  Way way_ = Way::kReplace;
  Descriptor placeholder_;  // POSIX: the open placeholder
  FileFacts placeholderFacts_;
  RemovalOnInterrupt placeholderRemoval_;
};

// ---- The terminal ------------------------------------------------------------------

// Whether the stream goes to a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// One line typed at the hidden prompt, as the terminal gives it: bytes
// (UTF-8 expected) on POSIX, UTF-16 units from the Windows console; without
// its line ending. Holds a password, in owners that wipe it.
struct TypedLine {
  static constexpr std::size_t kCapacity = 1023;  // bytes or units
  bool wide = false;     // the text is in `units`, not in `bytes`
  bool tooLong = false;  // more was typed than the line holds
  SecretText<char, kCapacity> bytes;
  SecretText<char16_t, kCapacity> units;
};

// Reads one line of bytes, as a terminal or a password file gives it:
// without its line ending ("\n" or "\r\n"); bytes past the line's capacity
// are dropped and noted in tooLong. False only when nothing could be read.
inline bool ReadLine(std::FILE* from, TypedLine& line) {
  line.wide = false;
  line.tooLong = false;
  line.bytes.Clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(from)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (!line.bytes.Append(static_cast<char>(c))) line.tooLong = true;
  }
  if (line.bytes.back() == '\r') line.bytes.Shorten(line.bytes.size() - 1);
  return any;
}

enum class PromptResult {
  kTyped,
  kNoTerminal,  // none to ask: a fault of the command line (name a password source)
  kRefused,     // nothing typed, interrupted: a password failure
  kIoFailure,   // the terminal is there but cannot be used
};

// Writes `prompt` and reads one line on the terminal (the console on
// Windows) with echo off. Echo is restored on every way out, an interrupt
// included. Every result but kTyped sets `error`.
PromptResult PromptHidden(const char* prompt, TypedLine& line, std::string& error);

}  // namespace orx::platform
