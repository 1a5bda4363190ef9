// The keys of a format-2 payload (payload_header.h has its layout). Every
// key lives in a fixed array of the caller's; no heap, and every
// intermediate key is wiped here.
//
//   password bytes = the UTF-8 of the password text (no normalisation)
//   KEK            = PBKDF2-HMAC-SHA256(password bytes, salt, iterations), 32 bytes
//   wrappedKey     = AES-256-CFB128 of the random file key FK under KEK, from keyIv
//   keyCheck       = HKDF-Expand(FK, "orx2 key check", 32)
//   content key    = HKDF-Expand(FK, "orx2 content key", 32)
//   MAC key        = HKDF-Expand(FK, "orx2 content mac", 32)
//
// HKDF-Expand is RFC 5869's expand step with FK as the pseudorandom key (FK
// is uniformly random, so there is no extract step) for one block:
// T(1) = HMAC-SHA256(FK, info || 0x01). A guess thus costs a whole PBKDF2;
// keyCheck tells a right password from a wrong one and nothing about the
// plaintext.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/crypto_port.h"
#include "payload/payload_header.h"
#include "payload/payload_keys.h"
#include "payload/payload_results.h"

namespace orx::payload {

// The longest UTF-8 of a password the dialog takes: 254 units, each at
// most three bytes (a surrogate pair gives four bytes for two units).
constexpr size_t kPasswordUtf8Capacity = 3 * kPasswordMaxUnits;
constexpr size_t kFileKey2Bytes = 32;

// The password text (`units` UTF-16 units) as UTF-8 into out[0..*length).
// kOk (an empty text gives no bytes), or kPasswordNotText for more than 254
// units, a zero unit or an unpaired surrogate; `out` then holds nothing
// usable (and is wiped by its owner, as ever).
int PasswordUtf8FromText(const uint16_t* text, size_t units,
                         unsigned char out[kPasswordUtf8Capacity], size_t* length);

// Seals a 32-byte file key into the header under the password bytes: with
// the header's salt, iterations and keyIv (the writer's random choices),
// fills wrappedKey and keyCheck. kOk; kBadKeyLength; kBadCost (iterations
// out of bounds); kPasswordNotText (no password bytes); kKeyDerivationFailed;
// kEncryptFailed.
int SealFileKey2(const FileKey& key, const unsigned char* password, size_t passwordBytes,
                 PayloadHeader* header);

// The reader's counterpart: derives KEK, unwraps the file key and checks it
// against keyCheck in constant time. kOk with `key` filled; kWrongPassword
// (also at once for no password bytes, which no writer seals under);
// kBadCost (the bounds again, so that no caller can derive for hours);
// kKeyDerivationFailed or kDecryptFailed, processing failures. On failure
// `key` is wiped.
int UnsealFileKey2(const PayloadHeader& header, const unsigned char* password,
                   size_t passwordBytes, FileKey* key);

// The keys of the content, from the file key.
struct ContentKeys {
  unsigned char cipher[kFileKey2Bytes];
  unsigned char mac[crypto::kSha256Bytes];
};
// False when the provider fails; `keys` then holds nothing usable.
bool DeriveContentKeys(const FileKey& key, ContentKeys* keys);

// Whether two byte strings are the same, in a time that does not depend on
// where they differ.
bool SameBytes(const unsigned char* a, const unsigned char* b, size_t size);

}  // namespace orx::payload
