// Wiping secrets (keys, passwords, plaintext) before their memory is reused
// or freed. A plain memset of a buffer that is not read again is a dead
// store the optimiser may drop (seen in the -Os i686 build); stores through
// a volatile pointer are never dropped. Needs no C runtime.
#pragma once

#include <stddef.h>

namespace orx {

inline void SecureWipe(void* memory, size_t size) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(memory);
  while (size--) *p++ = 0;
}

}  // namespace orx
