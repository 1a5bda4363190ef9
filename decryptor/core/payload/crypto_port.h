// The cryptographic primitives the payload code needs, and nothing more:
// AES on whole 16-byte blocks (ECB; every cipher mode is composed from it in
// cfb128.h), SHA-1, MD5, HMAC-SHA256, PBKDF2-HMAC-SHA256 and random bytes.
// Two providers implement this port:
// OpenSSL's EVP interfaces for the host builds (openssl_crypto.cpp) and the
// system's CNG (bcrypt.dll, loaded from the system folder only) for every
// Windows image (decryptor/win/cng_crypto.cpp). Exactly one is linked.
//
// Plain functions and result flags, no exceptions and no C++ runtime, so
// that the decryptor can link them. Zero-initialise a state before its Init
// (`AesKey key = {};`); Release is safe on a zeroed or released state and
// after a failed Init. States may be used from one thread at a time; the
// provider itself may be used from several threads.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace orx::crypto {

constexpr size_t kAesBlockBytes = 16;
constexpr size_t kSha1Bytes = 20;
constexpr size_t kMd5Bytes = 16;
constexpr size_t kSha256Bytes = 32;

// An AES key prepared by the provider.
struct AesKey {
  void* handle;
};
// Prepares a 16-, 24- or 32-byte key. False for any other length or when
// the provider fails; nothing is then held.
bool AesInit(AesKey* key, const unsigned char* bytes, size_t keyBytes);
// Encrypts `blocks` 16-byte blocks, each on its own (ECB). `out` may be
// `in`. False when the provider fails; `out` then holds nothing usable.
bool AesEncryptBlocks(const AesKey* key, const unsigned char* in, unsigned char* out,
                      size_t blocks);
void AesRelease(AesKey* key);

struct Sha1 {
  void* handle;
};
bool Sha1Init(Sha1* state);
bool Sha1Update(Sha1* state, const void* data, size_t size);
// Writes the digest and releases the state, also when it fails.
bool Sha1Final(Sha1* state, unsigned char digest[kSha1Bytes]);
void Sha1Release(Sha1* state);
// SHA-1 of one buffer.
inline bool Sha1Digest(const void* data, size_t size, unsigned char digest[kSha1Bytes]) {
  Sha1 state = {};
  bool ok = Sha1Init(&state) && Sha1Update(&state, data, size) && Sha1Final(&state, digest);
  Sha1Release(&state);
  return ok;
}

bool Md5(const void* data, size_t size, unsigned char digest[kMd5Bytes]);

// HMAC-SHA256 (RFC 2104) under a key of 1 to 1,024 bytes, fed in pieces.
struct HmacSha256 {
  void* handle;
};
bool HmacSha256Init(HmacSha256* state, const unsigned char* key, size_t keyBytes);
bool HmacSha256Update(HmacSha256* state, const void* data, size_t size);
// Writes the MAC and releases the state, also when it fails.
bool HmacSha256Final(HmacSha256* state, unsigned char mac[kSha256Bytes]);
void HmacSha256Release(HmacSha256* state);

// PBKDF2 (RFC 8018) with HMAC-SHA256: `outBytes` bytes from the password
// (1 to 1,024 bytes), the salt and `iterations` (at least 1). False for
// anything else or a provider failure. The caller bounds the iterations:
// the call takes time in proportion.
bool Pbkdf2HmacSha256(const unsigned char* password, size_t passwordBytes,
                      const unsigned char* salt, size_t saltBytes, uint32_t iterations,
                      unsigned char* out, size_t outBytes);

// Bytes from the system's cryptographic random generator.
bool RandomBytes(void* out, size_t size);

}  // namespace orx::crypto
