#include "payload/payload_open.h"

#include <string.h>

#include "orx/secret.h"

namespace orx::payload {

int PasswordBytesFor(uint32_t format, const uint16_t* text, size_t units, PasswordBytes* out) {
  if (format == 2) return PasswordUtf8FromText(text, units, out->bytes, &out->length);
  out->length = PasswordBytesFromText(text, units, out->bytes);
  return kOk;
}

int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key) {
  if (header.format == 2) return UnsealFileKey2(header, passwordBytes, passwordLength, key);
  return UnwrapFileKey(header.wrappedKey, header.keyCheck, header.keyBytes, passwordBytes,
                       passwordLength, key);
}

namespace {

int Decrypt(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
            PayloadStream* output, unsigned char computed[kSha1Bytes]) {
  if (header.format == 2 || key.size != header.keyBytes || header.cipherBytes < 0) {
    return kPayloadDecryptFailed;
  }
  return DecryptCipherText(static_cast<int>(key.size), key.bytes, kIvText, payload,
                           static_cast<uint64_t>(header.cipherBytes), output, computed);
}

// Format 2: the MAC takes the header's bytes as read and then the cipher
// text as it is decrypted; the tag behind the cipher text is compared only
// once all of it went through.
int DecryptAndAuthenticate(const PayloadHeader& header, const FileKey& key,
                           PayloadStream* payload, PayloadStream* output) {
  if (header.cipherBytes < 0 || header.rawBytes > kMaxHeaderBytes) return kPayloadDecryptFailed;
  Secret<ContentKeys> keys;
  crypto::HmacSha256 mac = {};
  int result = DeriveContentKeys(key, &keys.value) &&
                       crypto::HmacSha256Init(&mac, keys.value.mac, sizeof keys.value.mac) &&
                       crypto::HmacSha256Update(&mac, header.raw, header.rawBytes)
                   ? kOk
                   : kKeyDerivationFailed;
  unsigned char computed[kTagBytes];
  if (result == kOk) {
    result = DecryptCipherTextWithMac(keys.value.cipher, header.contentIv, &mac, payload,
                                      static_cast<uint64_t>(header.cipherBytes), output);
  }
  if (result == kOk && !crypto::HmacSha256Final(&mac, computed)) result = kPayloadDecryptFailed;
  crypto::HmacSha256Release(&mac);
  if (result != kOk) return result;
  unsigned char stored[kTagBytes];
  result = ReadExactly(payload, stored, kTagBytes, kNoStoredDigest);
  if (result != kOk) return result;
  return SameBytes(stored, computed, kTagBytes) ? kOk : kTagMismatch;
}

}  // namespace

int DecryptAndVerify(const PayloadHeader& header, const FileKey& key, PayloadStream* payload,
                     PayloadStream* output) {
  if (header.format == 2) return DecryptAndAuthenticate(header, key, payload, output);
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
  int result = ReadExactly(payload, stored, kSha1Bytes, kNoStoredDigest);
  if (result != kOk) return result;
  return SameBytes(stored, computed, kSha1Bytes) ? kOk : kDigestMismatch;
}

}  // namespace orx::payload
