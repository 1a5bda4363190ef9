// Reading a payload twice without trusting the second reading: the first
// pass (the verification) records a keyed fingerprint of every chunk it
// reads; the second pass (the decryption to standard output) lends out a
// chunk only once it has read all of it and found the fingerprint the first
// pass recorded. A file changed in between (by anyone who may write it)
// then fails the second pass before any byte of the changed chunk is
// decrypted, and everything given out before came from bytes verified.
//
// The fingerprint is HMAC-SHA256 under a key drawn at random for this run,
// which no one else knows: no chunk can be made to match another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "payload/crypto_port.h"
#include "orx/secret.h"
#include "payload/payload_stream.h"

namespace orx {

class RereadCheck {
 public:
  static constexpr std::size_t kChunkBytes = 1 << 20;

  // Reads from `source`, positioned where both passes start.
  explicit RereadCheck(payload::PayloadStream* source);
  RereadCheck(const RereadCheck&) = delete;
  RereadCheck& operator=(const RereadCheck&) = delete;
  ~RereadCheck();

  // Draws the key. False when the random generator or the MAC fails.
  bool Start();
  // The first pass: reads `source` as it is, fingerprinting what it gives.
  payload::PayloadStream* FirstPass() { return &first_; }
  // Ends the first pass (the last chunk may be short) and starts the
  // second, after the caller put `source` back where the first started.
  // False when a fingerprint could not be made.
  bool StartSecondPass();
  // The second pass: a chunk whose fingerprint differs, or that ends
  // another way than it did, is a read error (EIO), and changed() is set.
  payload::PayloadStream* SecondPass() { return &second_; }
  bool changed() const { return changed_; }

 private:
  static int FirstRead(void* context, void* buffer, std::size_t size, std::size_t* got);
  static int SecondRead(void* context, void* buffer, std::size_t size, std::size_t* got);
  void Record(const unsigned char* data, std::size_t size);
  bool CloseChunk();
  bool FillChunk();

  payload::PayloadStream* source_;
  payload::PayloadStream first_{};
  payload::PayloadStream second_{};
  Secret<unsigned char[32]> key_;
  crypto::HmacSha256 mac_{};  // the open chunk's, released when it closes
  bool macOpen_ = false;
  std::size_t inChunk_ = 0;  // first pass: bytes of the open chunk fingerprinted
  std::vector<std::vector<unsigned char>> prints_;
  std::vector<std::size_t> sizes_;
  bool failed_ = false;  // first pass: a fingerprint could not be made
  // Second pass: the chunk read and checked, lent from [at_, end_).
  std::unique_ptr<unsigned char[]> chunk_;
  std::size_t next_ = 0;  // the chunk to read next
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  bool changed_ = false;
};

}  // namespace orx
