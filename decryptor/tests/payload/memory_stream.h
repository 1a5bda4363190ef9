// In-memory PayloadStreams for tests and fuzzing: a reader over a byte
// vector and a writer that collects into one, each able to fail on demand.
#pragma once

#include <stdint.h>
#include <string.h>

#include <vector>

#include "payload/payload_stream.h"

namespace orx::payload::testing {

// What a failing reader reports: a system's code for a read error.
constexpr int kMemoryReadError = 5;

struct MemoryStream {
  std::vector<uint8_t> data;
  int64_t position = 0;
  // The writer takes this many bytes in all and then refuses more.
  size_t writeLimit = SIZE_MAX;
  // A reader delivers at most this many bytes in all: then a read error, or
  // with readLimitEnds the end of the data (a file cut short meanwhile).
  size_t readLimit = SIZE_MAX;
  bool readLimitEnds = false;
  size_t delivered = 0;
  // Whether the reader also lends its bytes in place (the view of a stream
  // over memory); the decryption takes either way.
  bool lend = false;

  PayloadStream Port() { return PayloadStream{this, Read, Write, Seek, Tell, View}; }

  static int Read(void* c, void* buffer, size_t size, size_t* got) {
    auto* s = static_cast<MemoryStream*>(c);
    int64_t left = static_cast<int64_t>(s->data.size()) - s->position;
    size_t n = left <= 0 ? 0 : (static_cast<uint64_t>(left) < size ? static_cast<size_t>(left) : size);
    bool failed = s->readLimit - s->delivered < n;
    if (failed) n = s->readLimit - s->delivered;
    if (n) memcpy(buffer, s->data.data() + s->position, n);
    s->position += static_cast<int64_t>(n);
    s->delivered += n;
    *got = n;
    return failed && !s->readLimitEnds ? kMemoryReadError : 0;
  }
  static size_t Write(void* c, const void* bytes, size_t size) {
    auto* s = static_cast<MemoryStream*>(c);
    size_t n = s->writeLimit - s->data.size() < size ? s->writeLimit - s->data.size() : size;
    const auto* p = static_cast<const uint8_t*>(bytes);
    s->data.insert(s->data.end(), p, p + n);
    return n;
  }
  static int Seek(void* c, int64_t offset, int origin) {
    auto* s = static_cast<MemoryStream*>(c);
    int64_t base = origin == SEEK_END ? static_cast<int64_t>(s->data.size()) : 0;
    if (origin != SEEK_SET && origin != SEEK_END) return -1;
    if (base + offset < 0) return -1;
    s->position = base + offset;
    return 0;
  }
  static int64_t Tell(void* c) { return static_cast<MemoryStream*>(c)->position; }
  static const void* View(void* c, size_t size) {
    auto* s = static_cast<MemoryStream*>(c);
    int64_t left = static_cast<int64_t>(s->data.size()) - s->position;
    if (!s->lend || left < 0 || static_cast<uint64_t>(left) < size ||
        s->readLimit - s->delivered < size) {
      return nullptr;
    }
    const void* p = s->data.data() + s->position;
    s->position += static_cast<int64_t>(size);
    s->delivered += size;
    return p;
  }
};

}  // namespace orx::payload::testing
