#include "payload/payload_crypto.h"

#include <stdlib.h>
#include <string.h>

#include "orx/secure_wipe.h"
#include "payload/cfb128.h"
#include "payload/crypto_port.h"

namespace orx::payload {

const char kIvText[33] = "47092158470921584709215847092158";

namespace {

// DecryptPayload's fixed buffers: large enough that per-call costs vanish
// against the cipher and the digest, small enough to stay in the cache
// between the keystream, the XOR and the digest passes.
constexpr size_t kChunkBytes = 16384;
constexpr size_t kBlock = crypto::kAesBlockBytes;

const CipherInfo kCiphers[] = {
    {"aes-128-cfb", 16}, {"aes-192-cfb", 24}, {"aes-256-cfb", 32}};
const DigestInfo kDigests[] = {{"sha1", crypto::kSha1Bytes}, {"md5", crypto::kMd5Bytes}};

bool IsKeyLength(int keyBytes) { return keyBytes == 16 || keyBytes == 24 || keyBytes == 32; }

const unsigned char* Iv(const char* ivText) {
  return reinterpret_cast<const unsigned char*>(ivText);
}

// The named cipher over the whole input, which may be the output.
int RunCipher(const char* cipherName, const unsigned char* key, const char* iv,
              const unsigned char* input, size_t length, unsigned char* output,
              size_t* outLength, bool encrypt, int failure) {
  const CipherInfo* cipher = LookupCipher(cipherName);
  if (!cipher) return kNoSuchCipher;
  if (!key || !iv || !output || (!input && length)) return failure;
  crypto::Cfb128 cfb = {};
  bool ok = crypto::Cfb128Init(&cfb, key, static_cast<size_t>(cipher->keyBytes), Iv(iv)) &&
            (encrypt ? crypto::Cfb128Encrypt(&cfb, input, output, length)
                     : crypto::Cfb128Decrypt(&cfb, input, output, length));
  crypto::Cfb128Release(&cfb);
  if (!ok) return failure;
  // CFB neither pads nor shortens: as many bytes out as in.
  output[length] = 0;
  if (outLength) *outLength = length;
  return kOk;
}

void SetError(int* error, int code) {
  if (error) *error = code;
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
  bool ok;
  if (digest->size == crypto::kMd5Bytes) {
    ok = crypto::Md5(data, length, out);
  } else {
    crypto::Sha1 sha = {};
    ok = crypto::Sha1Init(&sha) && crypto::Sha1Update(&sha, data, length) &&
         crypto::Sha1Final(&sha, out);
    crypto::Sha1Release(&sha);
  }
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
  if (!passwordBytes) return SetError(error, kNoPassword), nullptr;
  if (strlen(reinterpret_cast<const char*>(passwordBytes)) != passwordLength) {
    return SetError(error, kPasswordLength), nullptr;
  }
  if (!IsKeyLength(keyBytes)) return SetError(error, kBadKeyLength), nullptr;

  // The seed: MD5 of the password bytes, then 0x01 up to the key length.
  unsigned char seed[32];
  memset(seed, 0x01, sizeof seed);
  if (!crypto::Md5(passwordBytes, passwordLength, seed)) {
    SecureWipe(seed, sizeof seed);
    return SetError(error, kMd5Failed), nullptr;
  }
  unsigned char* key = static_cast<unsigned char*>(calloc(static_cast<size_t>(keyBytes) + 32, 1));
  char* name = key ? MakeCipherName(kModeCfb, keyBytes) : nullptr;
  int rc = name ? EncryptBuffer(name, seed, kIvText, seed, static_cast<size_t>(keyBytes), key,
                                nullptr)
                : kNoMemory;
  ReleaseCipherName(name);
  SecureWipe(seed, sizeof seed);
  if (rc != kOk) {
    if (key) SecureWipe(key, static_cast<size_t>(keyBytes) + 32);
    free(key);
    return SetError(error, rc), nullptr;
  }
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

namespace {

// The output, hashing every byte it took after it took it. A failed digest
// update fails the write.
struct HashingOutput {
  PayloadStream* target;
  crypto::Sha1* sha;
  bool failed;
};

size_t HashingWrite(void* context, const void* data, size_t size) {
  HashingOutput* self = static_cast<HashingOutput*>(context);
  size_t taken = self->target->write(self->target->context, data, size);
  if (!crypto::Sha1Update(self->sha, data, taken)) {
    self->failed = true;
    return 0;
  }
  return taken;
}

int DecryptInto(int keyBytes, const unsigned char* fileKey, const char* iv,
                PayloadStream* payload, uint64_t cipherLength, PayloadStream* output) {
  // Fixed buffers whatever the payload's size: the cipher text as read
  // (unless the stream lends it in place), and the plaintext with room for
  // the keystream's last whole block.
  const size_t plainBytes = kChunkBytes + kBlock;
  unsigned char* buffers = static_cast<unsigned char*>(malloc(kChunkBytes + plainBytes));
  if (!buffers) return kNoMemory;
  unsigned char* plain = buffers + kChunkBytes;
  crypto::Cfb128 cfb = {};
  int result = crypto::Cfb128Init(&cfb, fileKey, static_cast<size_t>(keyBytes), Iv(iv))
                   ? kOk
                   : kPayloadDecryptFailed;
  for (uint64_t done = 0; result == kOk && done < cipherLength;) {
    uint64_t left = cipherLength - done;
    size_t chunk = left < kChunkBytes ? static_cast<size_t>(left) : kChunkBytes;
    const unsigned char* in =
        payload->view ? static_cast<const unsigned char*>(payload->view(payload->context, chunk))
                      : nullptr;
    if (!in && payload->read(payload->context, buffers, chunk) == chunk) in = buffers;
    if (!in || !crypto::Cfb128DecryptRun(&cfb, in, plain, chunk)) {
      result = kPayloadDecryptFailed;
    } else if (output->write(output->context, plain, chunk) != chunk) {
      result = kOutputFailed;
    }
    done += chunk;
  }
  crypto::Cfb128Release(&cfb);
  // The plaintext does not outlive the call in freed memory.
  SecureWipe(plain, plainBytes);
  free(buffers);
  return result;
}

}  // namespace

int DecryptCipherText(int keyBytes, const unsigned char* fileKey, const char* iv,
                      PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                      unsigned char digestOut[kSha1Bytes]) {
  if (!payload || !output || !fileKey || !iv) return kPayloadDecryptFailed;
  if (!digestOut) return DecryptInto(keyBytes, fileKey, iv, payload, cipherLength, output);
  crypto::Sha1 sha = {};
  if (!crypto::Sha1Init(&sha)) return kNoDigest;
  HashingOutput hashing = {output, &sha, false};
  PayloadStream hashed = {&hashing, nullptr, HashingWrite, nullptr, nullptr, nullptr};
  int result = DecryptInto(keyBytes, fileKey, iv, payload, cipherLength, &hashed);
  if (hashing.failed) result = kPayloadDecryptFailed;
  if (result == kOk && !crypto::Sha1Final(&sha, digestOut)) result = kPayloadDecryptFailed;
  crypto::Sha1Release(&sha);
  return result;
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
  if (result != kOk) memset(digestOut, 0, kSha1Bytes);
  return result;
}

}  // namespace orx::payload
