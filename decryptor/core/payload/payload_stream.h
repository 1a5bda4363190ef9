// The byte stream port through which the payload code reads the payload and
// writes the plaintext, so that the same code serves C runtime files and
// Windows handles in the programs and memory buffers in tests and fuzzing.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "payload/payload_results.h"

namespace orx::payload {

// read places up to `size` bytes in the buffer and stores how many in *got:
// all of them, or fewer at the end of the data. It returns 0, or for a read
// error the system's non-zero code of it (errno, GetLastError), *got then
// counting the bytes placed before the error; the end of the data is never
// an error. write returns the number of bytes taken, fewer than given
// meaning failure; seek (origin SEEK_SET or SEEK_END) returns 0 on success;
// tell returns the position or -1. view is optional (null for most
// streams): for data already in memory (a buffer, a mapped file) it returns
// the next `size` bytes in place and advances like a read, or null,
// changing nothing, when it cannot (a read then tells why); the bytes stay
// valid until the next call on the stream. It spares the decryption a copy.
struct PayloadStream {
  void* context;
  int (*read)(void* context, void* buffer, size_t size, size_t* got);
  size_t (*write)(void* context, const void* data, size_t size);
  int (*seek)(void* context, int64_t offset, int origin);
  int64_t (*tell)(void* context);
  const void* (*view)(void* context, size_t size);
};

// Reads exactly `size` bytes: kOk; kReadFailed for a read error; `ended`,
// the caller's code for it, when the data ends first. Inline, so that a
// program reading through its own stream links nothing of the C runtime's
// files below.
inline int ReadExactly(PayloadStream* stream, void* buffer, size_t size, int ended) {
  size_t got = 0;
  if (stream->read(stream->context, buffer, size, &got) != 0) return kReadFailed;
  return got == size ? kOk : ended;
}

// A stream over an open C runtime file. Positions are 64-bit, so payloads
// beyond 2 GiB are measured correctly on every platform. A read error is
// the file's errno (EIO when the C runtime left none).
PayloadStream PayloadStreamOverFile(FILE* file);

}  // namespace orx::payload
