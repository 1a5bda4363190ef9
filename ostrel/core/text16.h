// Small helpers for null-terminated UTF-16 text (wchar_t is 32 bits on the
// host, so the portable code works in char16_t).
#pragma once

#include <cstddef>

namespace ostrel {

inline std::size_t Length16(const char16_t* text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

}  // namespace ostrel
