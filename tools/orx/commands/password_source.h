// Where orx gets a password: the terminal without echo, a file, or standard
// input; never the command line, where other users can see it. What the
// password may be is password_policy.h's concern.
#pragma once

#include <string>

#include "password_policy.h"

namespace orx {

struct PasswordSource {
  bool hasFile = false;    // --password-file F: the first line of F
  std::string file;        // never empty when hasFile (the command refuses "")
  bool fromStdin = false;  // --password-stdin: the first line of standard input
};

// The source the options name. False with `error` (a usage fault) when both
// are given, or the file name is empty: an explicit file is never replaced
// by the prompt.
bool ChoosePasswordSource(bool hasFile, const std::string& file, bool fromStdin,
                          PasswordSource& source, std::string& error);

// Reads the password text. On a terminal, `confirm` asks twice and insists
// that both agree; the terminal's echo is restored on every way out, a
// signal included. Returns kExitOk, or with `error` set kExitFailure (the
// file cannot be read: the OS reason) or kExitPassword (an empty password
// file, nothing on standard input, no terminal, entries that differ, text
// that is not UTF-8, or longer than a decryptor takes).
int ReadPassword(const PasswordSource& source, bool confirm, PasswordText& text,
                 std::string& error);

}  // namespace orx
