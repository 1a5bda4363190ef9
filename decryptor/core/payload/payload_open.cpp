#include "payload/payload_open.h"

#include <string.h>

#include "orx/secure_wipe.h"
#include "payload/crypto_port.h"

namespace orx::payload {

int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key) {
  SecureWipe(key, sizeof *key);
  const int keyBytes = static_cast<int>(header.keyBytes);
  const size_t n = header.keyBytes;
  int error = kOk;
  unsigned char* passwordKey = DerivePasswordKey(passwordBytes, passwordLength, keyBytes, &error);
  if (!passwordKey) return error;
  size_t unwrappedBytes = 0;
  unsigned char* fileKey = DecryptWithKey(header.wrappedKey, n, passwordKey, keyBytes,
                                          &unwrappedBytes, kModeCfb, kIvText, &error);
  SecureWipe(passwordKey, n + 32);
  ReleaseBuffer(passwordKey);
  if (!fileKey) return error;
  unsigned char* check = DigestBuffer(fileKey, n, "sha1");
  int result = kOk;
  if (!check) {
    result = kNoDigest;
  } else if (memcmp(check, header.keyCheck, kKeyCheckBytes) != 0) {
    result = kWrongPassword;
  }
  ReleaseBuffer(check);
  if (result == kOk) {
    memcpy(key->bytes, fileKey, n);
    key->size = header.keyBytes;
  }
  SecureWipe(fileKey, n + 33);
  ReleaseBuffer(fileKey);
  return result;
}

int WrapFileKey(const FileKey& key, const unsigned char* passwordBytes, size_t passwordLength,
                unsigned char wrappedKey[32], unsigned char keyCheck[kKeyCheckBytes]) {
  const int keyBytes = static_cast<int>(key.size);
  if (key.size != 16 && key.size != 24 && key.size != 32) return kBadKeyLength;
  int error = kOk;
  unsigned char* passwordKey = DerivePasswordKey(passwordBytes, passwordLength, keyBytes, &error);
  if (!passwordKey) return error;
  char* name = MakeCipherName(kModeCfb, keyBytes);
  unsigned char wrapped[33];  // EncryptBuffer ends its output with a zero byte
  int result = name ? EncryptBuffer(name, passwordKey, kIvText, key.bytes, key.size, wrapped,
                                    nullptr)
                    : kNoMemory;
  ReleaseCipherName(name);
  SecureWipe(passwordKey, key.size + 32);
  ReleaseBuffer(passwordKey);
  if (result == kOk) {
    memcpy(wrappedKey, wrapped, key.size);
    unsigned char* check = DigestBuffer(key.bytes, key.size, "sha1");
    if (check) memcpy(keyCheck, check, kKeyCheckBytes);
    ReleaseBuffer(check);
    if (!check) result = kNoDigest;
  }
  return result;
}

namespace {

int Decrypt(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
            PayloadStream* output, unsigned char computed[kSha1Bytes]) {
  if (key.size != header.keyBytes || header.cipherBytes < 0) return kPayloadDecryptFailed;
  return DecryptCipherText(static_cast<int>(key.size), key.bytes, kIvText, payload,
                           static_cast<uint64_t>(header.cipherBytes), output, computed);
}

}  // namespace

int DecryptAndVerify(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                     PayloadStream* output) {
  unsigned char computed[kSha1Bytes];
  int result = Decrypt(header, key, payload, output, computed);
  // A failed decryption never reaches the comparison, so no stored digest
  // (twenty zero bytes included) can pass one as verified.
  return result == kOk ? CheckStoredDigest(payload, computed) : result;
}

int DecryptUnverified(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                      PayloadStream* output) {
  return Decrypt(header, key, payload, output, nullptr);
}

int CheckStoredDigest(PayloadStream* payload, const unsigned char computed[kSha1Bytes]) {
  unsigned char stored[kSha1Bytes];
  if (payload->read(payload->context, stored, kSha1Bytes) != kSha1Bytes) return kNoStoredDigest;
  if (memcmp(stored, computed, kSha1Bytes) != 0) return kDigestMismatch;
  return kOk;
}

}  // namespace orx::payload
