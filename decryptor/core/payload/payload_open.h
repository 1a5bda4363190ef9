// Opening a payload: the one sequence that the decryptor, orx, the tests and
// the fuzzer share, for both formats.
//
//   ReadPayloadHeader (payload_header.h: the format, the stored-name rule,
//   the cost bounds of format 2, the cipher text's length)
//   -> PasswordBytesFor: the password text as the header's format takes it
//   -> UnlockPayload: the file key unwrapped and checked (format 1:
//      payload_keys.h; format 2: format2_keys.h)
//   -> DecryptAndVerify: the cipher text decrypted into the output while it
//      is hashed (format 1: the plaintext's SHA-1 against the stored digest)
//      or authenticated (format 2: HMAC-SHA256 over header and cipher text
//      against the tag; streamed_decryption.h). Format 1 also comes in two
//      halves, DecryptUnverified and CheckStoredDigest, around the caller's
//      digest.
//
// Only a kOk from DecryptAndVerify, or from CheckStoredDigest after
// DecryptUnverified, makes the output verified plaintext; on any other
// result the caller must discard it.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/format2_keys.h"
#include "payload/payload_header.h"
#include "payload/payload_keys.h"
#include "payload/payload_results.h"
#include "payload/payload_stream.h"
#include "payload/streamed_decryption.h"

namespace orx::payload {

// The password bytes a key is derived from, and their (stated) length.
// Secret: the holder keeps them in a Secret<>.
struct PasswordBytes {
  unsigned char bytes[kPasswordUtf8Capacity];
  size_t length;
};
static_assert(kPasswordUtf8Capacity >= kPasswordBytesCapacity, "format 1's bytes fit");

// The password text (`units` UTF-16 units) as the format takes it. Format 1:
// PasswordBytesFromText's low bytes and stated length, always kOk (a text
// they cannot stand for is refused by the key derivation). Format 2: the
// UTF-8 (PasswordUtf8FromText), or kPasswordNotText.
int PasswordBytesFor(uint32_t format, const uint16_t* text, size_t units, PasswordBytes* out);

// Unwraps the header's file key with the password bytes of its format and
// checks it against keyCheck. kOk with `key` filled; kWrongPassword; or a
// processing failure, not a wrong password: format 1's derivation and
// unwrapping codes (kNoPassword, kPasswordLength, kBadKeyLength,
// kMd5Failed, kEncryptFailed, kDecryptFailed, kNoDigest), format 2's
// (kBadCost, kKeyDerivationFailed, kDecryptFailed). On failure `key` is
// wiped.
int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key);

// The writing side's counterparts are WrapFileKey (payload_keys.h) and
// SealFileKey2 (format2_keys.h).

// Decrypts header.cipherBytes from `payload`, positioned at the end of the
// header, into `output`, then reads what follows the cipher text and
// compares. Results: kOk (the output is the verified plaintext);
// kDigestMismatch (format 1) or kTagMismatch (format 2); kOutputFailed (the
// output did not take every byte); kReadFailed (the payload stream reported
// a read error, in the cipher text or behind it); kPayloadDecryptFailed
// (the cipher or the MAC failed, or the payload ended early);
// kNoStoredDigest (the payload ended before its stored digest or tag);
// kNoDigest (format 1: SHA-1 unavailable); kKeyDerivationFailed (format 2:
// the content keys could not be made).
int DecryptAndVerify(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                     PayloadStream* output);

// Format 1's DecryptAndVerify in two halves, for a caller that hashes the
// plaintext itself as its output takes it, on another thread for instance.
// DecryptUnverified decrypts like DecryptAndVerify, hashing nothing; its
// results are the same but for the digest's (a format-2 header is
// kPayloadDecryptFailed: its check is the MAC, DecryptAndVerify's). The
// output is then unverified plaintext until CheckStoredDigest, given SHA-1
// of every byte the output took, reads the stored digest behind the cipher
// text and returns kOk; else kDigestMismatch, kReadFailed or
// kNoStoredDigest.
int DecryptUnverified(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                      PayloadStream* output);
int CheckStoredDigest(PayloadStream* payload, const unsigned char computed[kSha1Bytes]);

}  // namespace orx::payload
