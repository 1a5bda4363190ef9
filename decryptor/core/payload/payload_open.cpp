#include "payload/payload_open.h"

#include <string.h>

namespace orx::payload {

int UnlockPayload(const PayloadHeader& header, const unsigned char* passwordBytes,
                  size_t passwordLength, FileKey* key) {
  return UnwrapFileKey(header.wrappedKey, header.keyCheck, header.keyBytes, passwordBytes,
                       passwordLength, key);
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
  int result = ReadExactly(payload, stored, kSha1Bytes, kNoStoredDigest);
  if (result != kOk) return result;
  return memcmp(stored, computed, kSha1Bytes) == 0 ? kOk : kDigestMismatch;
}

}  // namespace orx::payload
