// The keys of a payload: the password bytes, the password key derived from
// them, and the file key wrapped under it (with its check value) or
// unwrapped from it. Every key lives in a fixed array of the caller's; no
// heap, and every intermediate key is wiped here.
//
// The password key: AES-CFB encryption (key length keyBytes, IV kIvText) of
// the seed under the seed itself, where the seed is MD5(password bytes)
// followed by 0x01 bytes up to keyBytes. The file key is stored encrypted
// under it the same way (wrappedKey), beside SHA-1 of the file key
// (keyCheck), which tells a wrong password from a right one.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_header.h"
#include "payload/payload_results.h"

namespace orx::payload {

constexpr size_t kMaxKeyBytes = 32;
constexpr size_t kPasswordBytesCapacity = 256;
constexpr size_t kPasswordMaxUnits = 254;  // longer texts give no password bytes

// 32 ASCII digits; the first 16 bytes are the IV of every cipher operation
// (each starts afresh from it), the last 16 are never used.
extern const char kIvText[33];

// The unwrapped file key. Secret: the holder keeps it in a Secret<> (or
// wipes it); the calls here wipe every intermediate key themselves.
struct FileKey {
  unsigned char bytes[kMaxKeyBytes];
  uint32_t size;  // 16, 24 or 32
};

// Password text (UTF-16 units, `units` of them, no terminator needed) to
// password bytes: when the text is at most 254 units long, the low 8 bits of
// each unit in order, then a zero byte; a longer text gives empty bytes.
// Returns the stated password length, which is always `units`. A unit whose
// low byte is zero thus ends the bytes early, and the key derivation then
// refuses the pair with kPasswordLength, as it does for a too-long text.
size_t PasswordBytesFromText(const uint16_t* text, size_t units,
                             unsigned char bytes[kPasswordBytesCapacity]);

// The password key of `keyBytes` bytes into key[0..keyBytes). kOk;
// kNoPassword (null bytes); kPasswordLength (the stated length differs from
// the bytes up to their first zero); kBadKeyLength; kMd5Failed;
// kEncryptFailed. On failure `key` is wiped.
int DerivePasswordKeyInto(const unsigned char* passwordBytes, size_t passwordLength,
                          size_t keyBytes, unsigned char key[kMaxKeyBytes]);

// Wraps `key` under the password key of the password bytes, giving the two
// header fields that UnwrapFileKey checks: wrappedKey (key.size bytes) and
// keyCheck (SHA-1 of the key). kOk; kBadKeyLength; or the code of the
// derivation, the encryption (kEncryptFailed) or the digest (kNoDigest).
int WrapFileKey(const FileKey& key, const unsigned char* passwordBytes, size_t passwordLength,
                unsigned char wrappedKey[kMaxKeyBytes], unsigned char keyCheck[kKeyCheckBytes]);

// Derives the password key, unwraps the `keyBytes`-byte wrappedKey and
// checks it against keyCheck. kOk with `key` filled; kWrongPassword; or the
// code of the derivation or the unwrapping (kNoPassword, kPasswordLength,
// kBadKeyLength, kMd5Failed, kEncryptFailed, kDecryptFailed, kNoDigest),
// which is a processing failure, not a wrong password. On failure `key` is
// wiped.
int UnwrapFileKey(const unsigned char* wrappedKey, const unsigned char keyCheck[kKeyCheckBytes],
                  uint32_t keyBytes, const unsigned char* passwordBytes, size_t passwordLength,
                  FileKey* key);

}  // namespace orx::payload
