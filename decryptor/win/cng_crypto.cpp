// The crypto port over the system's CNG (bcrypt.dll), for every Windows
// image: nothing to install, nothing beside the program.
//
// bcrypt.dll is not among the DLLs Windows always takes from its system
// folder, so it is neither imported nor loaded by bare name: it is loaded
// once, by its full system-folder path, together with the four algorithm
// providers (AES in ECB mode, SHA-1, MD5 and SHA-256 for HMAC, which also
// serves PBKDF2), and kept for the life of the process.
#include <windows.h>
#include <bcrypt.h>

#include "orx/system_dlls.h"
#include "payload/crypto_port.h"

namespace orx::crypto {

namespace {

struct Cng {
  decltype(&BCryptOpenAlgorithmProvider) openAlgorithm;
  decltype(&BCryptSetProperty) setProperty;
  decltype(&BCryptGenerateSymmetricKey) generateKey;
  decltype(&BCryptEncrypt) encrypt;
  decltype(&BCryptDestroyKey) destroyKey;
  decltype(&BCryptCreateHash) createHash;
  decltype(&BCryptHashData) hashData;
  decltype(&BCryptFinishHash) finishHash;
  decltype(&BCryptDestroyHash) destroyHash;
  decltype(&BCryptGenRandom) genRandom;
  decltype(&BCryptDeriveKeyPBKDF2) pbkdf2;
  BCRYPT_ALG_HANDLE aesEcb;
  BCRYPT_ALG_HANDLE sha1;
  BCRYPT_ALG_HANDLE md5;
  BCRYPT_ALG_HANDLE hmacSha256;
  bool ready;
};

Cng g_cng;
INIT_ONCE g_loaded = INIT_ONCE_STATIC_INIT;

template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *fn != nullptr;
}

BOOL CALLBACK Load(PINIT_ONCE, PVOID, PVOID*) {
  HMODULE m = LoadSystemLibrary(L"bcrypt.dll");
  Cng& c = g_cng;
  if (!m || !Resolve(m, "BCryptOpenAlgorithmProvider", &c.openAlgorithm) ||
      !Resolve(m, "BCryptSetProperty", &c.setProperty) ||
      !Resolve(m, "BCryptGenerateSymmetricKey", &c.generateKey) ||
      !Resolve(m, "BCryptEncrypt", &c.encrypt) || !Resolve(m, "BCryptDestroyKey", &c.destroyKey) ||
      !Resolve(m, "BCryptCreateHash", &c.createHash) ||
      !Resolve(m, "BCryptHashData", &c.hashData) ||
      !Resolve(m, "BCryptFinishHash", &c.finishHash) ||
      !Resolve(m, "BCryptDestroyHash", &c.destroyHash) ||
      !Resolve(m, "BCryptGenRandom", &c.genRandom) ||
      !Resolve(m, "BCryptDeriveKeyPBKDF2", &c.pbkdf2)) {
    return TRUE;  // not ready: every call of the port fails
  }
  static const wchar_t kEcb[] = BCRYPT_CHAIN_MODE_ECB;
  c.ready = BCRYPT_SUCCESS(c.openAlgorithm(&c.aesEcb, BCRYPT_AES_ALGORITHM, nullptr, 0)) &&
            BCRYPT_SUCCESS(c.setProperty(c.aesEcb, BCRYPT_CHAINING_MODE,
                                         reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kEcb)),
                                         sizeof kEcb, 0)) &&
            BCRYPT_SUCCESS(c.openAlgorithm(&c.sha1, BCRYPT_SHA1_ALGORITHM, nullptr, 0)) &&
            BCRYPT_SUCCESS(c.openAlgorithm(&c.md5, BCRYPT_MD5_ALGORITHM, nullptr, 0)) &&
            BCRYPT_SUCCESS(c.openAlgorithm(&c.hmacSha256, BCRYPT_SHA256_ALGORITHM, nullptr,
                                           BCRYPT_ALG_HANDLE_HMAC_FLAG));
  return TRUE;
}

const Cng* Provider() {
  InitOnceExecuteOnce(&g_loaded, Load, nullptr, nullptr);
  return g_cng.ready ? &g_cng : nullptr;
}

// CNG counts in ULONG: large requests go in pieces.
constexpr size_t kPieceBytes = size_t{1} << 30;
// Keys, passwords and salts this long at most (as in the OpenSSL provider).
constexpr size_t kMostKeyBytes = 1024;

// A hash or HMAC state of CNG's, held by a state of the port (its handle):
// started on one of the providers, with the HMAC's key as the secret; fed
// in pieces CNG can count; finished, which ends it too.
bool StartHash(void** handle, BCRYPT_ALG_HANDLE Cng::*algorithm, const unsigned char* secret,
               size_t secretBytes) {
  *handle = nullptr;
  const Cng* c = Provider();
  BCRYPT_HASH_HANDLE h = nullptr;
  if (!c || secretBytes > kMostKeyBytes ||
      !BCRYPT_SUCCESS(c->createHash(c->*algorithm, &h, nullptr, 0, const_cast<PUCHAR>(secret),
                                    static_cast<ULONG>(secretBytes), 0))) {
    return false;
  }
  *handle = h;
  return true;
}

bool HashPieces(void* handle, const void* data, size_t size) {
  auto* p = static_cast<const unsigned char*>(data);
  if (!handle) return false;
  while (size) {
    ULONG n = static_cast<ULONG>(size < kPieceBytes ? size : kPieceBytes);
    if (!BCRYPT_SUCCESS(g_cng.hashData(handle, const_cast<PUCHAR>(p), n, 0))) return false;
    p += n;
    size -= n;
  }
  return true;
}

void EndHash(void** handle) {
  if (*handle) g_cng.destroyHash(*handle);
  *handle = nullptr;
}

bool FinishHash(void** handle, unsigned char* out, ULONG bytes) {
  bool ok = *handle && BCRYPT_SUCCESS(g_cng.finishHash(*handle, out, bytes, 0));
  EndHash(handle);
  return ok;
}

}  // namespace

bool AesInit(AesKey* key, const unsigned char* bytes, size_t keyBytes) {
  key->handle = nullptr;
  const Cng* c = Provider();
  if (!c || !bytes || (keyBytes != 16 && keyBytes != 24 && keyBytes != 32)) return false;
  BCRYPT_KEY_HANDLE handle = nullptr;
  if (!BCRYPT_SUCCESS(c->generateKey(c->aesEcb, &handle, nullptr, 0,
                                     const_cast<PUCHAR>(bytes), static_cast<ULONG>(keyBytes),
                                     0))) {
    return false;
  }
  key->handle = handle;
  return true;
}

bool AesEncryptBlocks(const AesKey* key, const unsigned char* in, unsigned char* out,
                      size_t blocks) {
  const Cng* c = Provider();
  if (!c || !key->handle) return false;
  size_t bytes = blocks * kAesBlockBytes;
  while (bytes) {
    ULONG n = static_cast<ULONG>(bytes < kPieceBytes ? bytes : kPieceBytes), produced = 0;
    if (!BCRYPT_SUCCESS(c->encrypt(key->handle, const_cast<PUCHAR>(in), n, nullptr, nullptr, 0,
                                   out, n, &produced, 0)) ||
        produced != n) {
      return false;
    }
    in += n;
    out += n;
    bytes -= n;
  }
  return true;
}

void AesRelease(AesKey* key) {
  if (key->handle) g_cng.destroyKey(key->handle);
  key->handle = nullptr;
}

bool Sha1Init(Sha1* state) { return StartHash(&state->handle, &Cng::sha1, nullptr, 0); }

bool Sha1Update(Sha1* state, const void* data, size_t size) {
  return HashPieces(state->handle, data, size);
}

bool Sha1Final(Sha1* state, unsigned char digest[kSha1Bytes]) {
  return FinishHash(&state->handle, digest, kSha1Bytes);
}

void Sha1Release(Sha1* state) { EndHash(&state->handle); }

bool Md5(const void* data, size_t size, unsigned char digest[kMd5Bytes]) {
  void* h = nullptr;
  bool ok = (data || !size) && StartHash(&h, &Cng::md5, nullptr, 0) &&
            HashPieces(h, data, size) && FinishHash(&h, digest, kMd5Bytes);
  EndHash(&h);
  return ok;
}

bool HmacSha256Init(HmacSha256* state, const unsigned char* key, size_t keyBytes) {
  state->handle = nullptr;
  return key && keyBytes && StartHash(&state->handle, &Cng::hmacSha256, key, keyBytes);
}

bool HmacSha256Update(HmacSha256* state, const void* data, size_t size) {
  return HashPieces(state->handle, data, size);
}

bool HmacSha256Final(HmacSha256* state, unsigned char mac[kSha256Bytes]) {
  return FinishHash(&state->handle, mac, kSha256Bytes);
}

void HmacSha256Release(HmacSha256* state) { EndHash(&state->handle); }

bool Pbkdf2HmacSha256(const unsigned char* password, size_t passwordBytes,
                      const unsigned char* salt, size_t saltBytes, uint32_t iterations,
                      unsigned char* out, size_t outBytes) {
  const Cng* c = Provider();
  return c && password && passwordBytes && passwordBytes <= kMostKeyBytes && salt &&
         saltBytes <= kMostKeyBytes && iterations && out && outBytes &&
         outBytes <= kMostKeyBytes &&
         BCRYPT_SUCCESS(c->pbkdf2(c->hmacSha256, const_cast<PUCHAR>(password),
                                  static_cast<ULONG>(passwordBytes), const_cast<PUCHAR>(salt),
                                  static_cast<ULONG>(saltBytes), iterations, out,
                                  static_cast<ULONG>(outBytes), 0));
}

bool RandomBytes(void* out, size_t size) {
  const Cng* c = Provider();
  if (!c) return false;
  auto* p = static_cast<unsigned char*>(out);
  while (size) {
    ULONG n = static_cast<ULONG>(size < kPieceBytes ? size : kPieceBytes);
    if (!BCRYPT_SUCCESS(c->genRandom(nullptr, p, n, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    p += n;
    size -= n;
  }
  return true;
}

}  // namespace orx::crypto
