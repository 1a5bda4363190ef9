#include "password_policy.h"

#include <cstdio>

#include "core/password_rules.h"
#include "ostrel.h"
#include "payload/crypto_port.h"

namespace orx {

namespace {

// The product's rules judge the password through the system's ANSI code
// page. orx stands for no particular system: every character outside ASCII
// becomes a byte of 0x80, so that it is reported as not ASCII, which is
// what any code page makes of the accented letters and what the rules mean.
class AsciiOnly : public ostrel::AnsiCodePage {
 public:
  int ToAnsi(const char16_t* text, int chars, char* out, int outBytes, uint32_t*) override {
    int n = 0;
    for (; n < chars && n < outBytes; ++n) {
      out[n] = text[n] < 0x80 ? static_cast<char>(text[n]) : static_cast<char>(0x80);
    }
    return n;
  }
  int FromAnsi(const char*, int, char16_t*, int, uint32_t* error) override {
    if (error) *error = 1;
    return 0;
  }
};

std::string RuleMessage(int status) {
  switch (status) {
    case ZT_ERR_PASSWORD_TOO_SHORT: return "the password is shorter than 4 characters";
    case ZT_ERR_PASSWORD_TOO_LONG: return "the password is longer than 12 characters";
    case ZT_ERR_PASSWORD_NOT_ASCII: return "the password holds a character outside ASCII";
    case ZT_ERR_PASSWORD_BAD_CHAR:
      return "the password holds a character other than the letters A-Z and a-z, the digits "
             "and , - . / ; = [ \\ ]";
    default: return "the password breaks the password rules (status " + std::to_string(status) + ")";
  }
}

}  // namespace

bool AcceptNewPassword(const PasswordText& text, std::uint32_t format, bool rules,
                       std::string& error) {
  if (text.empty()) {
    error = "the password is empty";
    return false;
  }
  if (!rules || format != 1) return true;
  AsciiOnly codePage;
  int status = ostrel::ValidatePasswordWide(text.data(), codePage);
  if (status != ZT_OK) {
    error = RuleMessage(status) +
            " (format 1 keeps the product's rules; --no-password-rules lets pack use it anyway, "
            "format 2 takes any passphrase)";
    return false;
  }
  return true;
}

bool PasswordBytesFor(const PasswordText& text, std::uint32_t format, PasswordBytes& out,
                      std::string& error) {
  if (text.size() > payload::kPasswordMaxUnits) {
    error = "the password is longer than " + std::to_string(payload::kPasswordMaxUnits) +
            " characters";
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((format == 1 && (text[i] & 0xFF) == 0) || (format != 1 && text[i] == 0)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(text[i]));
      error = std::string("the password holds U+") + hex + ", a character the decryptor of " +
              "format " + std::to_string(format) + " cannot use";
      return false;
    }
  }
  if (payload::PasswordBytesFor(format, reinterpret_cast<const uint16_t*>(text.data()),
                                text.size(), &out) != payload::kOk) {
    error = "the password holds an unpaired surrogate, which is no character";
    return false;
  }
  return true;
}

bool GeneratePassword(PasswordText& text, std::string& error) {
  static const char kSymbols[] = "abcdefghijkmnpqrstuvwxyz23456789";
  static_assert(sizeof kSymbols - 1 == 32, "5 bits a symbol");
  constexpr int kSymbolsWanted = (kGeneratedBits + 4) / 5;
  constexpr int kGroup = 4;
  Secret<unsigned char[kSymbolsWanted]> random;
  text.Clear();
  if (!crypto::RandomBytes(random.value, sizeof random.value)) {
    error = "the random generator failed";
    return false;
  }
  for (int i = 0; i < kSymbolsWanted; ++i) {
    if (i > 0 && i % kGroup == 0) text.Append(u'-');
    text.Append(static_cast<char16_t>(kSymbols[random.value[i] & 31]));
  }
  return true;
}

}  // namespace orx
