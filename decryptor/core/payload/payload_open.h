// Opening a payload: the one sequence that the decryptor, orx, the tests and
// the fuzzer share.
//
//   PasswordBytesFromText (payload_keys.h: the password bytes of a text)
//   -> ReadPayloadHeader (payload_header.h: the format, the stored-name rule,
//   the cipher text's length)
//   -> UnlockPayload: the password key, the file key unwrapped and checked
//      (payload_keys.h)
//   -> DecryptAndVerify: the cipher text decrypted into the output while it
//      is hashed (streamed_decryption.h), then compared with the stored
//      digest (or its two halves, DecryptUnverified and CheckStoredDigest,
//      around the caller's digest).
//
// Only a kOk from DecryptAndVerify, or from CheckStoredDigest after
// DecryptUnverified, makes the output verified plaintext; on any other
// result the caller must discard it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_header.h"
#include "payload/payload_keys.h"
#include "payload/payload_results.h"
#include "payload/payload_stream.h"
#include "payload/streamed_decryption.h"

namespace orx::payload {

// Derives the password key from the password bytes and their stated length
// (see PasswordBytesFromText), unwraps the header's file key and checks it
// against keyCheck (UnwrapFileKey). kOk with `key` filled; kWrongPassword;
// or the code of the derivation or the unwrapping (kNoPassword,
// kPasswordLength, kBadKeyLength, kMd5Failed, kEncryptFailed,
// kDecryptFailed, kNoDigest), which is a processing failure, not a wrong
// password. On failure `key` is wiped.
int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key);

// The writing side's counterpart, WrapFileKey, is in payload_keys.h.

// Decrypts header.cipherBytes from `payload`, positioned at the end of the
// header, into `output` while hashing the plaintext, then reads the stored
// digest behind the cipher text and compares. Results: kOk (the output is
// the verified plaintext); kDigestMismatch; kOutputFailed (the output did
// not take every byte); kReadFailed (the payload stream reported a read
// error, in the cipher text or the stored digest); kPayloadDecryptFailed
// (the cipher failed or the payload ended early); kNoStoredDigest (the
// payload ended before its stored digest); kNoDigest.
int DecryptAndVerify(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                     PayloadStream* output);

// DecryptAndVerify in two halves, for a caller that hashes the plaintext
// itself as its output takes it, on another thread for instance.
// DecryptUnverified decrypts like DecryptAndVerify, hashing nothing; its
// results are the same but for the digest's. The output is then unverified
// plaintext until CheckStoredDigest, given SHA-1 of every byte the output
// took, reads the stored digest behind the cipher text and returns kOk;
// else kDigestMismatch, kReadFailed or kNoStoredDigest.
int DecryptUnverified(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                      PayloadStream* output);
int CheckStoredDigest(PayloadStream* payload, const unsigned char computed[kSha1Bytes]);

}  // namespace orx::payload
