// Where orx gets a password: the terminal without echo, a file, or standard
// input; never the command line, where other users can see it. What the
// password may be is password_policy.h's concern.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "command_line.h"
#include "password_policy.h"

namespace orx {

struct PasswordSource {
  bool hasFile = false;    // --password-file F: the first line of F
  std::string file;        // never empty when hasFile (the command refuses "")
  bool fromStdin = false;  // --password-stdin (or --password-file -)
};

// The source the options name ("--password-file -" is standard input).
// False with `error` (a usage fault) when both are given, or the file name
// is empty: an explicit file is never replaced by the prompt.
bool ChoosePasswordSource(bool hasFile, const std::string& file, bool fromStdin,
                          PasswordSource& source, std::string& error);

// The source --password-file and --password-stdin name in `args`, as
// ChoosePasswordSource takes them.
bool PasswordSourceFrom(const ParsedArgs& args, PasswordSource& source, std::string& error);

// Standard input carries one thing: a password read from it is refused when
// `input` ("-") is read from it too. False with `error` (a usage fault)
// calling the input `what`.
bool StandardInputOnce(const PasswordSource& source, const std::filesystem::path& input,
                       const char* what, std::string& error);

// A check of the text read, kExitOk or an exit code with `error` set; for a
// new password, its format's rule, which the prompt applies to the first
// entry, before the second is asked for.
using PasswordCheck = std::function<int(const PasswordText& text, std::string& error)>;

// Reads the password text and checks it. The terminal is asked without
// echo, also for --password-stdin when standard input is the terminal (a
// person is typing there); `confirm` then asks twice and insists that both
// agree. The terminal's echo is restored on every way out, a signal
// included. Returns kExitOk, or with `error` set: kExitFailure (the file
// cannot be read: the OS reason), kExitUsage (no terminal to ask on, no
// other source named), kExitPassword (an empty password file, nothing on
// standard input, entries that differ, text that is not UTF-8, or longer
// than a decryptor takes), or what `check` returns.
int ReadPassword(const PasswordSource& source, bool confirm, const PasswordCheck& check,
                 PasswordText& text, std::string& error);

}  // namespace orx
