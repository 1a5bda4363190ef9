// Exit codes of every orx command, one per class of failure, so that a
// script can tell them apart. The same list is in the help (help_text.cpp)
// and the README.
#pragma once

#include "platform.h"

namespace orx {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,         // a file could not be read or written (the OS reason is
                            // reported), or an input or output file is refused
  kExitUsage = 2,           // bad command line, or no terminal to ask the password on
  kExitPassword = 3,        // wrong password, or a password refused for a new payload
  kExitDigestMismatch = 4,  // the decrypted bytes fail their stored digest, or the payload its tag
  kExitMalformed = 5,       // a damaged payload or archive, or one cut short where that shows
  kExitExists = 6,          // the output exists and --force was not given
  // No payload or archive at all: another Windows program, or a file that
  // starts with no payload's signature. Its own code, so that a script can
  // tell "not one of ours" from "one of ours, damaged".
  kExitNotThisKind = 7,
};

// Ended by signal N (any that would end orx on POSIX, SIGKILL aside; Ctrl-C
// or a closed console on Windows): 128 + N, after the temporary output is removed.
constexpr int kExitSignalBase = platform::kExitSignalBase;

}  // namespace orx
