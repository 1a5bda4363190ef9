// The crypto port over OpenSSL's EVP interfaces, for the host builds.
#include <limits.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include "payload/crypto_port.h"

namespace orx::crypto {

namespace {

const EVP_CIPHER* EcbFor(size_t keyBytes) {
  switch (keyBytes) {
    case 16: return EVP_aes_128_ecb();
    case 24: return EVP_aes_192_ecb();
    case 32: return EVP_aes_256_ecb();
    default: return nullptr;
  }
}

}  // namespace

bool AesInit(AesKey* key, const unsigned char* bytes, size_t keyBytes) {
  key->handle = nullptr;
  const EVP_CIPHER* ecb = EcbFor(keyBytes);
  if (!ecb || !bytes) return false;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (!ctx || EVP_EncryptInit_ex(ctx, ecb, nullptr, bytes, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx, 0) != 1) {
    EVP_CIPHER_CTX_free(ctx);
    return false;
  }
  key->handle = ctx;
  return true;
}

bool AesEncryptBlocks(const AesKey* key, const unsigned char* in, unsigned char* out,
                      size_t blocks) {
  auto* ctx = static_cast<EVP_CIPHER_CTX*>(key->handle);
  if (!ctx) return false;
  // EVP counts in int: large requests go in pieces of whole blocks.
  constexpr size_t kPieceBlocks = (INT_MAX / 2) / kAesBlockBytes;
  while (blocks) {
    size_t n = blocks < kPieceBlocks ? blocks : kPieceBlocks;
    int bytes = static_cast<int>(n * kAesBlockBytes), produced = 0;
    if (EVP_EncryptUpdate(ctx, out, &produced, in, bytes) != 1 || produced != bytes) return false;
    in += bytes;
    out += bytes;
    blocks -= n;
  }
  return true;
}

void AesRelease(AesKey* key) {
  EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(key->handle));  // wipes the schedule
  key->handle = nullptr;
}

bool Sha1Init(Sha1* state) {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  if (!md || EVP_DigestInit_ex(md, EVP_sha1(), nullptr) != 1) {
    EVP_MD_CTX_free(md);
    state->handle = nullptr;
    return false;
  }
  state->handle = md;
  return true;
}

bool Sha1Update(Sha1* state, const void* data, size_t size) {
  auto* md = static_cast<EVP_MD_CTX*>(state->handle);
  return md && (size == 0 || EVP_DigestUpdate(md, data, size) == 1);
}

bool Sha1Final(Sha1* state, unsigned char digest[kSha1Bytes]) {
  auto* md = static_cast<EVP_MD_CTX*>(state->handle);
  unsigned int n = 0;
  bool ok = md && EVP_DigestFinal_ex(md, digest, &n) == 1 && n == kSha1Bytes;
  Sha1Release(state);
  return ok;
}

void Sha1Release(Sha1* state) {
  EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(state->handle));
  state->handle = nullptr;
}

bool Md5(const void* data, size_t size, unsigned char digest[kMd5Bytes]) {
  unsigned int n = 0;
  return (data || size == 0) &&
         EVP_Digest(size ? data : "", size, digest, &n, EVP_md5(), nullptr) == 1 &&
         n == kMd5Bytes;
}

namespace {

// Keys, passwords and salts this long at most: far beyond any use here,
// and within OpenSSL's int counts.
constexpr size_t kMostKeyBytes = 1024;

}  // namespace

bool HmacSha256Init(HmacSha256* state, const unsigned char* key, size_t keyBytes) {
  state->handle = nullptr;
  if (!key || keyBytes == 0 || keyBytes > kMostKeyBytes) return false;
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
  EVP_MAC_CTX* ctx = mac ? EVP_MAC_CTX_new(mac) : nullptr;
  EVP_MAC_free(mac);  // the context holds its own reference
  char digest[] = OSSL_DIGEST_NAME_SHA2_256;
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_END};
  if (!ctx || EVP_MAC_init(ctx, key, keyBytes, params) != 1) {
    EVP_MAC_CTX_free(ctx);
    return false;
  }
  state->handle = ctx;
  return true;
}

bool HmacSha256Update(HmacSha256* state, const void* data, size_t size) {
  auto* ctx = static_cast<EVP_MAC_CTX*>(state->handle);
  return ctx && (size == 0 || EVP_MAC_update(ctx, static_cast<const unsigned char*>(data),
                                             size) == 1);
}

bool HmacSha256Final(HmacSha256* state, unsigned char mac[kSha256Bytes]) {
  auto* ctx = static_cast<EVP_MAC_CTX*>(state->handle);
  size_t n = 0;
  bool ok = ctx && EVP_MAC_final(ctx, mac, &n, kSha256Bytes) == 1 && n == kSha256Bytes;
  HmacSha256Release(state);
  return ok;
}

void HmacSha256Release(HmacSha256* state) {
  EVP_MAC_CTX_free(static_cast<EVP_MAC_CTX*>(state->handle));  // wipes the key
  state->handle = nullptr;
}

bool Pbkdf2HmacSha256(const unsigned char* password, size_t passwordBytes,
                      const unsigned char* salt, size_t saltBytes, uint32_t iterations,
                      unsigned char* out, size_t outBytes) {
  if (!password || passwordBytes == 0 || passwordBytes > kMostKeyBytes || !salt ||
      saltBytes > kMostKeyBytes || iterations == 0 || iterations > INT_MAX || !out ||
      outBytes == 0 || outBytes > kMostKeyBytes) {
    return false;
  }
  return PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password),
                           static_cast<int>(passwordBytes), salt, static_cast<int>(saltBytes),
                           static_cast<int>(iterations), EVP_sha256(),
                           static_cast<int>(outBytes), out) == 1;
}

bool RandomBytes(void* out, size_t size) {
  auto* p = static_cast<unsigned char*>(out);
  while (size) {
    int n = size < (1u << 20) ? static_cast<int>(size) : (1 << 20);
    if (RAND_bytes(p, n) != 1) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace orx::crypto
