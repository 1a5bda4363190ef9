// The byte stream port through which the payload code reads the payload and
// writes the plaintext, so that the same code serves C runtime files in the
// decryptor and memory buffers in tests and fuzzing.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

namespace orx::payload {

// Partial results: read returns the number of bytes placed in the buffer,
// fewer than asked only at the end of the data or on a read error; write
// returns the number of bytes taken, fewer than given meaning failure; seek
// (origin SEEK_SET or SEEK_END) returns 0 on success; tell returns the
// position or -1. view is optional (null for most streams): for data already
// in memory (a buffer, a mapped file) it returns the next `size` bytes in
// place and advances like a read, or null, changing nothing, when it cannot;
// the bytes stay valid until the next call on the stream. It spares the
// decryption a copy.
struct PayloadStream {
  void* context;
  size_t (*read)(void* context, void* buffer, size_t size);
  size_t (*write)(void* context, const void* data, size_t size);
  int (*seek)(void* context, int64_t offset, int origin);
  int64_t (*tell)(void* context);
  const void* (*view)(void* context, size_t size);
};

// A stream over an open C runtime file. Positions are 64-bit, so payloads
// beyond 2 GiB are measured correctly on every platform.
PayloadStream PayloadStreamOverFile(FILE* file);

}  // namespace orx::payload
