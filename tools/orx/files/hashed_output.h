// The output of an unpack or a test: the plaintext goes to its target (the
// pending file, standard output, or nowhere) and is hashed as the target
// takes it, so that the digest is of what was written.
//
// A large payload is hashed on a second thread, beside the decryption on
// the calling thread: the plaintext is gathered into two buffers of
// kChunkBytes in turn; a full one is written, handed to the thread, and the
// other one filled meanwhile. Chunks that big make handing one over cost
// nothing against hashing it, and stay in the cache between decrypting,
// writing and hashing. A small payload is hashed at once, on the calling
// thread, where the thread and its buffers would cost more than they save.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "crypto_states.h"
#include "orx/unique_handle.h"
#include "payload/payload_header.h"
#include "payload/payload_stream.h"
#include "progress_bar.h"

namespace orx {

class HashedOutput {
 public:
  // From this much cipher text on, the second thread pays (measured: an
  // 8 MiB payload opens faster on one thread, a 16 MiB one on two).
  static constexpr std::uint64_t kThreadFrom = 16 << 20;
  static constexpr std::size_t kChunkBytes = 1 << 20;

  // `target` takes the plaintext (its write only is used).
  HashedOutput(payload::PayloadStream* target, ProgressBar& progress);
  HashedOutput(const HashedOutput&) = delete;
  HashedOutput& operator=(const HashedOutput&) = delete;
  ~HashedOutput();

  // Starts the digest for `bytes` of plaintext, with the thread when they
  // are enough and it can be had. False when SHA-1 cannot be had.
  bool Start(std::uint64_t bytes);
  // Or only writes, for a payload whose check is not a digest of its
  // plaintext (format 2's tag, computed by the decryption itself).
  void StartUnhashed() { hashing_ = false; }
  // Where the decryption writes. A write fails once an interrupt is
  // requested, or when the target does not take every byte.
  payload::PayloadStream* stream() { return &stream_; }
  // Writes what is still gathered and gives SHA-1 of every byte the target
  // took. False when that write or the digest failed.
  bool Finish(unsigned char digest[payload::kSha1Bytes]);

  // Why a write failed: the OS reason, or an interrupt.
  int writeError() const { return writeError_; }
  bool interrupted() const { return interrupted_; }
  // Whether the digest failed (rather than a write).
  bool digestFailed() const { return digestFailed_; }

 private:
  static size_t Write(void* context, const void* data, size_t size);
  bool WriteToTarget(const unsigned char* data, size_t size);
  bool Hand(size_t size);  // the gathered chunk to the thread
  void Run();
  void Stop();

  payload::PayloadStream* target_;
  ProgressBar& progress_;
  payload::PayloadStream stream_{};
  crypto::Sha1 sha_{};
  Sha1Owner shaOwner_;
  int writeError_ = 0;
  bool interrupted_ = false;
  bool digestFailed_ = false;
  bool hashing_ = true;

  // The thread's side. Chunk n is gathered in buffers_[n % 2]; the thread
  // touches a buffer and sha_ only between its hand-over and its count in
  // done_.
  std::unique_ptr<Secret<unsigned char[2][kChunkBytes]>> buffers_;  // with the thread only
  std::size_t gathered_ = 0;  // bytes in the buffer being filled
  std::mutex mutex_;
  std::condition_variable handed_;  // the thread waits here for a chunk or the stop
  std::condition_variable hashed_;  // the writer waits here for the thread's progress
  std::size_t sizes_[2] = {};
  std::uint64_t posted_ = 0;  // chunks handed over
  std::uint64_t done_ = 0;    // chunks hashed (or skipped after a failure)
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace orx
