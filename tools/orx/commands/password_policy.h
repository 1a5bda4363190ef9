// What the product accepts as a password, whatever it came from: the rules
// for a new payload, and the password bytes a decryptor derives its key from.
#pragma once

#include <cstddef>
#include <string>

#include "orx/secret.h"
#include "payload/payload_keys.h"

namespace orx {

// A password as text: UTF-16 units, more than any source gives, wiped by
// their owner.
using PasswordText = SecretText<char16_t, 1024>;

// The password bytes the decryptor derives its key from (the low 8 bits of
// each UTF-16 unit) and their stated length. A fixed secret: keep it in a
// Secret<>.
struct PasswordBytes {
  unsigned char bytes[payload::kPasswordBytesCapacity];
  std::size_t length;
};

// For a new payload: refuses the empty password always, and with `rules` a
// password that breaks the product's password rules (4 to 12 characters:
// letters, digits and , - . / ; = [ \ ]). False with `error` set.
bool AcceptNewPassword(const PasswordText& text, bool rules, std::string& error);

// The password bytes of `text`. False with `error` set for a text no
// decryptor could use: longer than 254 units, or holding a unit whose low
// byte is zero.
bool PasswordBytesFor(const PasswordText& text, PasswordBytes& out, std::string& error);

}  // namespace orx
