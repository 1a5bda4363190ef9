// The streamed decryption of a payload's cipher text: read in fixed chunks
// (or lent in place by the stream), decrypted with AES-CFB128 and written
// to the output; in format 1 the plaintext is hashed as the output takes
// it, in format 2 the cipher text goes to the MAC as it is read. Its
// buffers are on the stack, whatever the payload's size: no heap.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/crypto_port.h"
#include "payload/payload_header.h"
#include "payload/payload_results.h"
#include "payload/payload_stream.h"

namespace orx::payload {

// Decrypts cipherLength bytes of the cipher text of a `keyBytes`-byte key
// AES-CFB128 (IV: the first 16 bytes of `iv`) from `payload` at its
// position into `output`; SHA-1 of every byte the output took goes to
// digestOut on kOk. With a null digestOut nothing is hashed, for a caller
// that hashes what its output takes itself. Results: kOk; kReadFailed (the
// payload stream reported a read error); kPayloadDecryptFailed (the cipher
// failed or the payload ended early); kOutputFailed (the output did not
// take every byte); kNoDigest (SHA-1 unavailable). On any failure the
// output holds an incomplete plaintext that the caller must discard.
int DecryptCipherText(int keyBytes, const unsigned char* fileKey, const char* iv,
                      PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                      unsigned char digestOut[kSha1Bytes]);

// Format 2's: decrypts cipherLength bytes of AES-256-CFB128 under `key`
// from `iv` like DecryptCipherText, hashing nothing, while `mac` (started
// by the caller) takes every cipher text byte as it is read. Results as
// DecryptCipherText's, kNoDigest aside; a failed MAC update is
// kPayloadDecryptFailed.
int DecryptCipherTextWithMac(const unsigned char key[32], const unsigned char iv[16],
                             crypto::HmacSha256* mac, PayloadStream* payload,
                             uint64_t cipherLength, PayloadStream* output);

}  // namespace orx::payload
