#include "password_rules.h"

#include <cstring>

#include "ostrel.h"
#include "text16.h"

namespace ostrel {

namespace {
constexpr std::size_t kMinLength = 4;
constexpr std::size_t kMaxLength = 12;

struct Alphabet {
  bool member[128] = {};
  constexpr Alphabet() {
    for (int c = 'A'; c <= 'Z'; ++c) member[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) member[c] = true;
    for (int c = '0'; c <= '9'; ++c) member[c] = true;
    const char marks[] = ",-./;=[\\]";
    for (int i = 0; marks[i] != 0; ++i) member[static_cast<int>(marks[i])] = true;
  }
};
constexpr Alphabet kAlphabet;
}  // namespace

bool InPasswordAlphabet(unsigned char c) { return c < 128 && kAlphabet.member[c]; }

int ValidatePasswordAnsi(const char* password) {
  if (password == nullptr) return ZT_ERR_PASSWORD_TOO_SHORT;
  std::size_t n = std::strlen(password);
  if (n < kMinLength) return ZT_ERR_PASSWORD_TOO_SHORT;
  if (n > kMaxLength) return ZT_ERR_PASSWORD_TOO_LONG;
  for (std::size_t i = 0; i < n; ++i) {
    auto c = static_cast<unsigned char>(password[i]);
    if (c >= 0x80) return ZT_ERR_PASSWORD_NOT_ASCII;
    if (!InPasswordAlphabet(c)) return ZT_ERR_PASSWORD_BAD_CHAR;
  }
  return ZT_OK;
}

int ValidatePasswordWide(const char16_t* password, AnsiCodePage& codePage) {
  if (password == nullptr) return ZT_ERR_PASSWORD_TOO_SHORT;
  std::size_t n = Length16(password);
  if (n < kMinLength) return ZT_ERR_PASSWORD_TOO_SHORT;
  if (n > kMaxLength) return ZT_ERR_PASSWORD_TOO_LONG;
  // Room for every character in its longest form (4 bytes in any code page
  // Windows offers as ANSI), so that the conversion never fails for lack of
  // room and the first 12 bytes are those of the whole text.
  char converted[kMaxLength * 4 + 1] = {};
  uint32_t error = 0;
  int written = codePage.ToAnsi(password, static_cast<int>(n), converted,
                                static_cast<int>(sizeof converted - 1), &error);
  if (written <= 0) return ZT_ERR_PASSWORD_BAD_CHAR;
  converted[kMaxLength] = '\0';
  return ValidatePasswordAnsi(converted);
}

}  // namespace ostrel
