#include "payload/payload_crypto.h"

#include <stdlib.h>
#include <string.h>

#include "orx/secret.h"
#include "payload/cfb128.h"
#include "payload/crypto_port.h"

namespace orx::payload {

namespace {

const CipherInfo kCiphers[] = {
    {"aes-128-cfb", 16}, {"aes-192-cfb", 24}, {"aes-256-cfb", 32}};
const DigestInfo kDigests[] = {{"sha1", crypto::kSha1Bytes}, {"md5", crypto::kMd5Bytes}};

// The named cipher over the whole input, which may be the output.
int RunCipher(const char* cipherName, const unsigned char* key, const char* iv,
              const unsigned char* input, size_t length, unsigned char* output,
              size_t* outLength, bool encrypt, int failure) {
  const CipherInfo* cipher = LookupCipher(cipherName);
  if (!cipher) return kNoSuchCipher;
  if (!key || !iv || !output || (!input && length)) return failure;
  if (!crypto::Cfb128Buffer(key, static_cast<size_t>(cipher->keyBytes),
                            reinterpret_cast<const unsigned char*>(iv), input, output, length,
                            encrypt)) {
    return failure;
  }
  // CFB neither pads nor shortens: as many bytes out as in.
  output[length] = 0;
  if (outLength) *outLength = length;
  return kOk;
}

void SetError(int* error, int code) {
  if (error) *error = code;
}

}  // namespace

char* MakeCipherName(int mode, int keyBytes) {
  static const char* const kModes[] = {"ecb", "cfb", "cbc", "ofb"};
  if (mode < 0 || mode > 3) return nullptr;
  char* name = static_cast<char*>(malloc(32));
  if (!name) return nullptr;
  char* p = name;
  memcpy(p, "aes-", 4);
  p += 4;
  // The bits (keyBytes * 8, up to 35 bits for any int) in decimal: the
  // digits of |keyBytes|, least significant first, multiplied by 8 with
  // carry. Printing the 64-bit product directly would divide 64-bit values,
  // which 32-bit builds take from a helper library the small programs
  // cannot afford.
  unsigned magnitude =
      keyBytes < 0 ? 0u - static_cast<unsigned>(keyBytes) : static_cast<unsigned>(keyBytes);
  if (keyBytes < 0) *p++ = '-';
  unsigned char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<unsigned char>(magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  unsigned carry = 0;
  for (int i = 0; i < count; ++i) {
    unsigned times8 = digits[i] * 8u + carry;
    digits[i] = static_cast<unsigned char>(times8 % 10);
    carry = times8 / 10;
  }
  for (; carry; carry /= 10) digits[count++] = static_cast<unsigned char>(carry % 10);
  while (count) *p++ = static_cast<char>('0' + digits[--count]);
  *p++ = '-';
  memcpy(p, kModes[mode], 4);  // with its terminating zero
  return name;
}

int ReleaseCipherName(char* name) {
  if (!name) return kNoCipherNameToRelease;
  free(name);
  return kOk;
}

void ReleaseBuffer(void* buffer) { free(buffer); }

const CipherInfo* LookupCipher(const char* name) {
  if (!name) return nullptr;
  for (const CipherInfo& c : kCiphers) {
    if (strcmp(name, c.name) == 0) return &c;
  }
  return nullptr;
}

const DigestInfo* LookupDigest(const char* name) {
  if (!name) return nullptr;
  for (const DigestInfo& d : kDigests) {
    if (strcmp(name, d.name) == 0) return &d;
  }
  return nullptr;
}

unsigned char* DigestBuffer(const void* data, size_t length, const char* digestName) {
  const DigestInfo* digest = LookupDigest(digestName);
  if (!digest || (!data && length)) return nullptr;
  unsigned char* out = static_cast<unsigned char*>(calloc(kDigestBufferBytes, 1));
  if (!out) return nullptr;
  bool ok = digest->size == crypto::kMd5Bytes ? crypto::Md5(data, length, out)
                                              : crypto::Sha1Digest(data, length, out);
  if (!ok) {
    free(out);
    return nullptr;
  }
  return out;
}

int EncryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength) {
  return RunCipher(cipherName, key, iv, input, length, output, outLength, true, kEncryptFailed);
}

int DecryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength) {
  return RunCipher(cipherName, key, iv, input, length, output, outLength, false,
                   kDecryptFailed);
}

unsigned char* DerivePasswordKey(const unsigned char* passwordBytes, size_t passwordLength,
                                 int keyBytes, int* error) {
  Secret<unsigned char[kMaxKeyBytes]> derived;
  // A negative length becomes one no key has, refused in its turn.
  int rc = DerivePasswordKeyInto(passwordBytes, passwordLength, static_cast<size_t>(keyBytes),
                                 derived.value);
  if (rc != kOk) return SetError(error, rc), nullptr;
  unsigned char* key = static_cast<unsigned char*>(calloc(static_cast<size_t>(keyBytes) + 32, 1));
  if (!key) return SetError(error, kNoMemory), nullptr;
  memcpy(key, derived.value, static_cast<size_t>(keyBytes));
  SetError(error, kOk);
  return key;
}

unsigned char* DecryptWithKey(const unsigned char* data, size_t dataLength,
                              const unsigned char* key, int keyBytes, size_t* outLength,
                              int mode, const char* iv, int* error) {
  if (!data && dataLength) return SetError(error, kDecryptFailed), nullptr;
  unsigned char* plain = static_cast<unsigned char*>(malloc(dataLength + 33));
  char* name = MakeCipherName(mode, keyBytes);
  if (!plain || !name) {
    free(plain);
    int code = !name && plain && (mode < 0 || mode > 3) ? kNoSuchCipher : kNoMemory;
    ReleaseCipherName(name);
    return SetError(error, code), nullptr;
  }
  if (dataLength) memcpy(plain, data, dataLength);
  // CFB decrypts in place: the copy becomes the plaintext.
  int rc = DecryptBuffer(name, key, iv, plain, dataLength, plain, outLength);
  ReleaseCipherName(name);
  if (rc != kOk) {
    SecureWipe(plain, dataLength + 33);
    free(plain);
    return SetError(error, rc), nullptr;
  }
  SetError(error, kOk);
  return plain;
}

int DecryptPayload(const char* cipherName, const unsigned char* fileKey, const char* iv,
                   PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                   unsigned char digestOut[21]) {
  if (!digestOut) return kNoDigest;
  memset(digestOut, 0, kSha1Bytes + 1);
  const CipherInfo* cipher = LookupCipher(cipherName);
  if (!cipher) return kNoSuchCipher;
  int result = DecryptCipherText(cipher->keyBytes, fileKey, iv, payload, cipherLength, output,
                                 digestOut);
  if (result == kOk) return kOk;
  memset(digestOut, 0, kSha1Bytes);
  // This call's callers know one code for a payload that cannot be had.
  return result == kReadFailed ? kPayloadDecryptFailed : result;
}

}  // namespace orx::payload
