// Small wide-text helpers for fixed buffers, without the C runtime (the
// archive's programs have none). One contract for all: a capacity counts
// units with the terminator, and a text that does not fit changes nothing.
#pragma once

#include <stddef.h>

namespace orx {

inline size_t WideLength(const wchar_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// Copies `text` into `buffer`, cut short to capacity - 1 units when longer
// (the one exception to the contract above: like lstrcpyn, it always
// copies), and terminated. Nothing for a capacity of 0.
inline void CopyWide(wchar_t* buffer, size_t capacity, const wchar_t* text) {
  if (capacity == 0) return;
  size_t i = 0;
  for (; i + 1 < capacity && text[i]; ++i) buffer[i] = text[i];
  buffer[i] = 0;
}

// Appends `tail` to the terminated text in `buffer`. False, the buffer
// unchanged, when the result would not fit in `capacity` units.
inline bool AppendWide(wchar_t* buffer, size_t capacity, const wchar_t* tail) {
  size_t used = WideLength(buffer), add = WideLength(tail);
  if (used + add + 1 > capacity) return false;
  for (size_t i = 0; i <= add; ++i) buffer[used + i] = tail[i];
  return true;
}

}  // namespace orx
