// Where orx gets a password: the terminal without echo, a file, or standard
// input; never the command line, where other users can see it.
#pragma once

#include <string>

#include "payload/payload_crypto.h"

namespace orx {

struct PasswordSource {
  std::string file;        // --password-file: its first line
  bool fromStdin = false;  // --password-stdin: the first line of standard input
};

// Reads the password text as UTF-16. On a terminal, `confirm` asks twice and
// insists that both agree. False with `error` set.
bool ReadPassword(const PasswordSource& source, bool confirm, std::u16string& text,
                  std::string& error);

// The password bytes the decryptor derives its key from (the low 8 bits of
// each UTF-16 unit) and their stated length. False with `error` set for a text
// no decryptor could use: longer than 254 units, or holding a unit whose low
// byte is zero.
bool PasswordBytesFor(const std::u16string& text,
                      unsigned char (&bytes)[payload::kPasswordBytesCapacity], size_t& length,
                      std::string& error);

}  // namespace orx
