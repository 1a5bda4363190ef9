// Port: conversions between UTF-16 and the system's ANSI code page.
#pragma once

#include <cstdint>

namespace ostrel {

// Both conversions take `chars`/`bytes` = -1 for "through the terminating
// null" and return the number of units written (the null included when it
// was converted). On failure they return 0, *error holds the thread's Windows
// error, and `out` may hold a partial result. An output capacity of 0 is a
// failure (ERROR_INSUFFICIENT_BUFFER), never a size query.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  // No flags and no default character: a character without a mapping
  // becomes the code page's default character.
  virtual int ToAnsi(const char16_t* text, int chars, char* out, int outBytes,
                     uint32_t* error) = 0;
  // Strict: an invalid byte sequence fails (ERROR_NO_UNICODE_TRANSLATION).
  virtual int FromAnsi(const char* text, int bytes, char16_t* out, int outChars,
                       uint32_t* error) = 0;
};

}  // namespace ostrel
