// Opening a payload: the one sequence that the decryptor, orx, the tests and
// the fuzzer share.
//
//   ReadPayloadHeader (payload_header.h: the format, the stored-name rule,
//   the cipher text's length)
//   -> UnlockPayload: the password key, the file key unwrapped and checked
//   -> DecryptAndVerify: the cipher text decrypted into the output while it
//      is hashed, then compared with the stored digest (or its two halves,
//      DecryptUnverified and CheckStoredDigest, around the caller's digest).
//
// Only a kOk from DecryptAndVerify, or from CheckStoredDigest after
// DecryptUnverified, makes the output verified plaintext; on any other
// result the caller must discard it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_crypto.h"
#include "payload/payload_header.h"
#include "payload/payload_stream.h"

namespace orx::payload {

// Results of the sequence beyond the crypto and header codes.
enum : int {
  kWrongPassword = 1501,   // the unwrapped key's SHA-1 differs from keyCheck
  kDigestMismatch = 1502,  // the plaintext's SHA-1 differs from the stored one
  kNoStoredDigest = 1503,  // the payload ends before its stored digest
};

// The unwrapped file key. Secret: the holder wipes it (SecureWipe) when
// done; the calls here wipe every intermediate key themselves.
struct FileKey {
  unsigned char bytes[32];
  uint32_t size;  // 16, 24 or 32
};

// Derives the password key from the password bytes and their stated length
// (see PasswordBytesFromText), unwraps the file key and checks it against
// keyCheck. kOk with `key` filled; kWrongPassword; or the code of the
// derivation or the unwrapping (kNoPassword, kPasswordLength, kBadKeyLength,
// kMd5Failed, kNoMemory, kNoSuchCipher, kDecryptFailed, kNoDigest), which
// is a processing failure, not a wrong password. On failure `key` is wiped.
int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key);

// The writing side's counterpart of UnlockPayload: wraps `key` under the
// password key of the password bytes, giving the two header fields that
// UnlockPayload checks: wrappedKey (key.size bytes) and keyCheck (SHA-1 of
// the key). kOk; kBadKeyLength; or the code of the derivation, the
// encryption (kEncryptFailed) or the digest (kNoDigest). Intermediate keys
// are wiped.
int WrapFileKey(const FileKey& key, const unsigned char* passwordBytes, size_t passwordLength,
                unsigned char wrappedKey[32], unsigned char keyCheck[kKeyCheckBytes]);

// Decrypts header.cipherBytes from `payload`, positioned at the end of the
// header, into `output` while hashing the plaintext, then reads the stored
// digest behind the cipher text and compares. Results: kOk (the output is
// the verified plaintext); kDigestMismatch; kOutputFailed (the output did
// not take every byte); kPayloadDecryptFailed (the cipher failed or the
// payload ended early); kNoStoredDigest; kNoDigest; kNoMemory.
int DecryptAndVerify(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                     PayloadStream* output);

// DecryptAndVerify in two halves, for a caller that hashes the plaintext
// itself as its output takes it, on another thread for instance.
// DecryptUnverified decrypts like DecryptAndVerify, hashing nothing; its
// results are the same but for the digest's. The output is then unverified
// plaintext until CheckStoredDigest, given SHA-1 of every byte the output
// took, reads the stored digest behind the cipher text and returns kOk;
// else kDigestMismatch or kNoStoredDigest.
int DecryptUnverified(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                      PayloadStream* output);
int CheckStoredDigest(PayloadStream* payload, const unsigned char computed[kSha1Bytes]);

}  // namespace orx::payload
