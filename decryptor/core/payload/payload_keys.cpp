#include "payload/payload_keys.h"

#include <string.h>

#include "orx/secret.h"
#include "payload/cfb128.h"
#include "payload/crypto_port.h"
#include "payload/format2_keys.h"

namespace orx::payload {

const char kIvText[33] = "47092158470921584709215847092158";

namespace {

bool IsKeyLength(size_t keyBytes) { return keyBytes == 16 || keyBytes == 24 || keyBytes == 32; }

// The key derivation and the key wrap are AES-CFB from kIvText.
bool CipherFromIv(const unsigned char* key, size_t keyBytes, const unsigned char* in,
                  unsigned char* out, bool encrypt) {
  return crypto::Cfb128Buffer(key, keyBytes, reinterpret_cast<const unsigned char*>(kIvText), in,
                              out, keyBytes, encrypt);
}

// Whether the password bytes end (with their first zero) at `length`. A
// bounded scan, which the compiler does not turn into a call of strlen, so
// that the core needs nothing of the C runtime's strings.
bool EndsAt(const unsigned char* bytes, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] == 0) return false;
  }
  return bytes[length] == 0;
}

}  // namespace

size_t PasswordBytesFromText(const uint16_t* text, size_t units,
                             unsigned char bytes[kPasswordBytesCapacity]) {
  size_t n = 0;
  if (text && units <= kPasswordMaxUnits) {
    for (; n < units; ++n) bytes[n] = static_cast<unsigned char>(text[n] & 0xFF);
  }
  bytes[n] = 0;
  return units;
}

int DerivePasswordKeyInto(const unsigned char* passwordBytes, size_t passwordLength,
                          size_t keyBytes, unsigned char key[kMaxKeyBytes]) {
  SecureWipe(key, kMaxKeyBytes);
  if (!passwordBytes) return kNoPassword;
  if (!EndsAt(passwordBytes, passwordLength)) return kPasswordLength;
  if (!IsKeyLength(keyBytes)) return kBadKeyLength;
  // The seed: MD5 of the password bytes, then 0x01 up to the key length.
  Secret<unsigned char[kMaxKeyBytes]> seed;
  memset(seed.value, 0x01, sizeof seed.value);
  if (!crypto::Md5(passwordBytes, passwordLength, seed.value)) return kMd5Failed;
  if (!CipherFromIv(seed.value, keyBytes, seed.value, key, true)) {
    SecureWipe(key, kMaxKeyBytes);
    return kEncryptFailed;
  }
  return kOk;
}

int WrapFileKey(const FileKey& key, const unsigned char* passwordBytes, size_t passwordLength,
                unsigned char wrappedKey[kMaxKeyBytes], unsigned char keyCheck[kKeyCheckBytes]) {
  if (!IsKeyLength(key.size)) return kBadKeyLength;
  Secret<unsigned char[kMaxKeyBytes]> passwordKey;
  int result = DerivePasswordKeyInto(passwordBytes, passwordLength, key.size, passwordKey.value);
  if (result != kOk) return result;
  unsigned char wrapped[kMaxKeyBytes];
  if (!CipherFromIv(passwordKey.value, key.size, key.bytes, wrapped, true)) return kEncryptFailed;
  memcpy(wrappedKey, wrapped, key.size);
  return crypto::Sha1Digest(key.bytes, key.size, keyCheck) ? kOk : kNoDigest;
}

int UnwrapFileKey(const unsigned char* wrappedKey, const unsigned char keyCheck[kKeyCheckBytes],
                  uint32_t keyBytes, const unsigned char* passwordBytes, size_t passwordLength,
                  FileKey* key) {
  SecureWipe(key, sizeof *key);
  Secret<FileKey> unwrapped;
  {
    Secret<unsigned char[kMaxKeyBytes]> passwordKey;
    int result = DerivePasswordKeyInto(passwordBytes, passwordLength, keyBytes, passwordKey.value);
    if (result != kOk) return result;
    if (!CipherFromIv(passwordKey.value, keyBytes, wrappedKey, unwrapped.value.bytes, false)) {
      return kDecryptFailed;
    }
  }
  unsigned char check[kKeyCheckBytes];
  if (!crypto::Sha1Digest(unwrapped.value.bytes, keyBytes, check)) return kNoDigest;
  if (!SameBytes(check, keyCheck, kKeyCheckBytes)) return kWrongPassword;
  memcpy(key->bytes, unwrapped.value.bytes, keyBytes);
  key->size = keyBytes;
  return kOk;
}

}  // namespace orx::payload
