// SHA-1 of the plaintext on a thread of its own, behind the payload core's
// DigestPort, so that hashing chunk i overlaps decrypting and writing chunk
// i + 1 on the calling thread.
//
// The core alternates two plaintext buffers and keeps a chunk unchanged
// until its next update() or final() has returned. update() therefore queues
// the new chunk at once, so that the worker goes on with it without waiting
// for the caller to wake, and returns when the chunk before it is hashed:
// its buffer is the one the core fills next. final() waits for the last
// chunk, ends the worker and gives the digest.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "payload/crypto_port.h"
#include "payload/payload_crypto.h"

namespace orx {

class DigestThread {
 public:
  DigestThread() = default;
  DigestThread(const DigestThread&) = delete;
  DigestThread& operator=(const DigestThread&) = delete;
  ~DigestThread();

  // Starts the digest and the worker. False when either cannot be had; the
  // caller then hashes on its own thread.
  bool Start();
  // Valid after a successful Start(), for one pass over the plaintext.
  const payload::DigestPort* port() const { return &port_; }

 private:
  struct Chunk {
    const unsigned char* data;
    size_t size;
  };

  static bool Update(void* context, const unsigned char* data, size_t size);
  static bool Final(void* context, unsigned char digest[payload::kSha1Bytes]);
  void Run();
  void Stop();

  payload::DigestPort port_{this, Update, Final};
  crypto::Sha1 sha_{};
  std::mutex mutex_;
  std::condition_variable queued_;  // the worker waits here for a chunk or the stop
  std::condition_variable hashed_;  // the caller waits here for the worker's progress
  Chunk chunks_[2] = {};            // chunk n is in chunks_[n % 2]
  std::uint64_t posted_ = 0;        // chunks handed over
  std::uint64_t done_ = 0;          // chunks hashed (or skipped after a failure)
  bool stop_ = false;
  bool failed_ = false;  // a Sha1Update failed
  std::thread worker_;
};

}  // namespace orx
