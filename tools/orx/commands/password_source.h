// Where orx gets a password: the terminal without echo, a file, or standard
// input; never the command line, where other users can see it.
#pragma once

#include <string>

#include "payload/payload_crypto.h"

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

// Reads the password text as UTF-16. On a terminal, `confirm` asks twice and
// insists that both agree; the terminal's echo is restored on every way out,
// a signal included. Returns kExitOk, or with `error` set kExitFailure (the
// file cannot be read: the OS reason) or kExitPassword (an empty password
// file, nothing on standard input, no terminal, entries that differ, text
// that is not UTF-8).
int ReadPassword(const PasswordSource& source, bool confirm, std::u16string& text,
                 std::string& error);

// For a new payload: refuses the empty password always, and with `rules` a
// password that breaks the product's password rules (4 to 12 characters:
// letters, digits and , - . / ; = [ \ ]). False with `error` set.
bool AcceptNewPassword(const std::u16string& text, bool rules, std::string& error);

// The password bytes the decryptor derives its key from (the low 8 bits of
// each UTF-16 unit) and their stated length. False with `error` set for a text
// no decryptor could use: longer than 254 units, or holding a unit whose low
// byte is zero.
bool PasswordBytesFor(const std::u16string& text,
                      unsigned char (&bytes)[payload::kPasswordBytesCapacity], size_t& length,
                      std::string& error);

// Overwrites secrets in a way the compiler may not drop as a dead store.
void Wipe(void* data, size_t size);
void Wipe(std::u16string& text);
void Wipe(std::string& text);

}  // namespace orx
