#include "payload/payload_crypto.h"

#include <stdlib.h>
#include <string.h>

namespace orx::payload {

const char kIvText[33] = "47092158470921584709215847092158";

namespace {

constexpr size_t kPieceBytes = 1024;  // EncryptBuffer/DecryptBuffer work in pieces
// DecryptPayload's fixed buffers: large enough that per-call costs vanish
// against the cipher and the digest (1 KiB chunks measured about 7% slower).
constexpr size_t kChunkBytes = 16384;

bool IsKeyLength(int keyBytes) { return keyBytes == 16 || keyBytes == 24 || keyBytes == 32; }

int RunCipher(const char* cipherName, const unsigned char* key, const char* iv,
              const unsigned char* input, size_t length, unsigned char* output,
              size_t* outLength, int encrypt, int failure) {
  const EVP_CIPHER* cipher = LookupCipher(cipherName);
  if (!cipher) return kNoSuchCipher;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int result = failure;
  size_t done = 0;
  if (ctx && EVP_CipherInit_ex(ctx, cipher, nullptr, key,
                               reinterpret_cast<const unsigned char*>(iv), encrypt) == 1) {
    result = kOk;
    for (size_t at = 0; at < length && result == kOk; at += kPieceBytes) {
      int piece = static_cast<int>(length - at < kPieceBytes ? length - at : kPieceBytes);
      int produced = 0;
      if (EVP_CipherUpdate(ctx, output + done, &produced, input + at, piece) != 1) {
        result = failure;
      }
      done += static_cast<size_t>(produced);
    }
    int produced = 0;
    if (result == kOk && EVP_CipherFinal_ex(ctx, output + done, &produced) != 1) {
      result = failure;
    }
    done += static_cast<size_t>(produced);
  }
  EVP_CIPHER_CTX_free(ctx);
  if (result != kOk) return result;
  output[done] = 0;
  if (outLength) *outLength = done;
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
  long long bits = static_cast<long long>(keyBytes) * 8;
  unsigned long long magnitude = bits < 0 ? 0ULL - static_cast<unsigned long long>(bits)
                                          : static_cast<unsigned long long>(bits);
  if (bits < 0) *p++ = '-';
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  while (count) *p++ = digits[--count];
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

const EVP_CIPHER* LookupCipher(const char* name) {
  if (!name) return nullptr;
  if (strcmp(name, "aes-128-cfb") == 0) return EVP_aes_128_cfb128();
  if (strcmp(name, "aes-192-cfb") == 0) return EVP_aes_192_cfb128();
  if (strcmp(name, "aes-256-cfb") == 0) return EVP_aes_256_cfb128();
  return nullptr;
}

const EVP_MD* LookupDigest(const char* name) {
  if (!name) return nullptr;
  if (strcmp(name, "sha1") == 0) return EVP_sha1();
  if (strcmp(name, "md5") == 0) return EVP_md5();
  return nullptr;
}

unsigned char* DigestBuffer(const void* data, size_t length, const char* digestName) {
  const EVP_MD* md = LookupDigest(digestName);
  if (!md || (!data && length)) return nullptr;
  unsigned char* digest = static_cast<unsigned char*>(calloc(kDigestBufferBytes, 1));
  if (!digest) return nullptr;
  if (EVP_Digest(data, length, digest, nullptr, md, nullptr) != 1) {
    free(digest);
    return nullptr;
  }
  return digest;
}

int EncryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength) {
  return RunCipher(cipherName, key, iv, input, length, output, outLength, 1, kEncryptFailed);
}

int DecryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength) {
  return RunCipher(cipherName, key, iv, input, length, output, outLength, 0, kDecryptFailed);
}

unsigned char* DerivePasswordKey(const unsigned char* passwordBytes, size_t passwordLength,
                                 int keyBytes, int* error) {
  if (!passwordBytes) return SetError(error, kNoPassword), nullptr;
  if (strlen(reinterpret_cast<const char*>(passwordBytes)) != passwordLength) {
    return SetError(error, kPasswordLength), nullptr;
  }
  if (!IsKeyLength(keyBytes)) return SetError(error, kBadKeyLength), nullptr;

  unsigned char seed[32];
  memset(seed, 0x01, sizeof seed);
  unsigned int md5Bytes = 0;
  if (EVP_Digest(passwordBytes, passwordLength, seed, &md5Bytes, EVP_md5(), nullptr) != 1 ||
      md5Bytes != 16) {
    return SetError(error, kMd5Failed), nullptr;
  }
  unsigned char* key = static_cast<unsigned char*>(calloc(static_cast<size_t>(keyBytes) + 32, 1));
  if (!key) return SetError(error, kNoMemory), nullptr;
  char* name = MakeCipherName(kModeCfb, keyBytes);
  size_t produced = 0;
  int rc = name ? EncryptBuffer(name, seed, kIvText, seed, static_cast<size_t>(keyBytes), key,
                                &produced)
                : kNoMemory;
  ReleaseCipherName(name);
  memset(seed, 0, sizeof seed);
  if (rc != kOk) {
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
    free(plain);
    return SetError(error, rc), nullptr;
  }
  SetError(error, kOk);
  return plain;
}

int DecryptPayload(const char* cipherName, const unsigned char* fileKey, const char* iv,
                   PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                   unsigned char digestOut[21]) {
  const EVP_MD* sha1 = LookupDigest("sha1");
  if (!sha1 || !digestOut) return kNoDigest;
  memset(digestOut, 0, kSha1Bytes + 1);
  const EVP_CIPHER* cipher = LookupCipher(cipherName);
  if (!cipher) return kNoSuchCipher;
  if (!payload || !output || !fileKey || !iv) return kPayloadDecryptFailed;

  EVP_MD_CTX* md = EVP_MD_CTX_new();
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  // Two fixed buffers whatever the payload's size; CFB neither pads nor
  // shortens, so every chunk decrypts to exactly as many bytes.
  unsigned char* in = static_cast<unsigned char*>(malloc(2 * kChunkBytes + 32));
  unsigned char* out = in + kChunkBytes;
  int result = kPayloadDecryptFailed;
  if (!md || !ctx || !in) {
    result = kNoMemory;
  } else if (EVP_DigestInit_ex(md, sha1, nullptr) == 1 &&
             EVP_DecryptInit_ex(ctx, cipher, nullptr, fileKey,
                                reinterpret_cast<const unsigned char*>(iv)) == 1) {
    uint64_t done = 0;
    bool ok = true;
    while (ok && done < cipherLength) {
      uint64_t left = cipherLength - done;
      size_t chunk = left < kChunkBytes ? static_cast<size_t>(left) : kChunkBytes;
      int produced = 0;
      ok = payload->read(payload->context, in, chunk) == chunk &&
           EVP_DecryptUpdate(ctx, out, &produced, in, static_cast<int>(chunk)) == 1 &&
           output->write(output->context, out, static_cast<size_t>(produced)) ==
               static_cast<size_t>(produced) &&
           EVP_DigestUpdate(md, out, static_cast<size_t>(produced)) == 1;
      done += chunk;
    }
    int produced = 0;
    unsigned int digestBytes = 0;
    unsigned char digest[EVP_MAX_MD_SIZE];
    ok = ok && EVP_DecryptFinal_ex(ctx, out, &produced) == 1 &&
         output->write(output->context, out, static_cast<size_t>(produced)) ==
             static_cast<size_t>(produced) &&
         EVP_DigestUpdate(md, out, static_cast<size_t>(produced)) == 1 &&
         EVP_DigestFinal_ex(md, digest, &digestBytes) == 1 && digestBytes == kSha1Bytes;
    if (ok) {
      memcpy(digestOut, digest, kSha1Bytes);
      result = kOk;
    }
    // The plaintext does not outlive the call in freed memory.
    memset(out, 0, kChunkBytes + 32);
  }
  free(in);
  EVP_CIPHER_CTX_free(ctx);
  EVP_MD_CTX_free(md);
  return result;
}

}  // namespace orx::payload
