// What the product accepts as a password, whatever it came from: the rules
// for a new payload of each format, the password bytes a decryptor derives
// its key from, and a generated passphrase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orx/secret.h"
#include "payload/payload_open.h"

namespace orx {

// A password as text: UTF-16 units, more than any source gives, wiped by
// their owner.
using PasswordText = SecretText<char16_t, 1024>;

// The password bytes of one format (payload_open.h). A fixed secret: keep
// it in a Secret<>.
using PasswordBytes = payload::PasswordBytes;

// For a new payload: refuses the empty password always. Format 1, with
// `rules`: a password that breaks the product's password rules (4 to 12
// characters: letters, digits and , - . / ; = [ \ ]), which the product's
// own archives keep. Format 2 takes any passphrase PasswordBytesFor takes;
// `rules` does not apply to it. False with `error` set.
bool AcceptNewPassword(const PasswordText& text, std::uint32_t format, bool rules,
                       std::string& error);

// The password bytes of `text` in `format`. False with `error` set for a
// text no decryptor could use: longer than 254 units; in format 1 a unit
// whose low byte is zero; in format 2 a zero unit or an unpaired surrogate.
bool PasswordBytesFor(const PasswordText& text, std::uint32_t format, PasswordBytes& out,
                      std::string& error);

// A passphrase of kGeneratedBits from the system's random generator that a
// person can read out and type into the dialog: groups of lowercase letters
// and digits without the look-alikes l, o, 0 and 1 (32 symbols, 5 bits
// each), joined by '-', such as "k7fq-9mhz-2wdr-xe4b-tn8c". False with
// `error` set when the generator fails.
constexpr int kGeneratedBits = 100;
bool GeneratePassword(PasswordText& text, std::string& error);

}  // namespace orx
