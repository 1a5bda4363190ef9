// The crypto port over OpenSSL's EVP interfaces, for the host builds.
#include <limits.h>
#include <openssl/evp.h>
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
