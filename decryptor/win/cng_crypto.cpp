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

// The functions, in the order of kFunctionNames, and the providers, in the
// order of kProviderNames.
struct Functions {
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
};
constexpr size_t kFunctionCount = sizeof(Functions) / sizeof(FARPROC);
const char kFunctionNames[] =
    "BCryptOpenAlgorithmProvider\0BCryptSetProperty\0BCryptGenerateSymmetricKey\0"
    "BCryptEncrypt\0BCryptDestroyKey\0BCryptCreateHash\0BCryptHashData\0"
    "BCryptFinishHash\0BCryptDestroyHash\0BCryptGenRandom\0BCryptDeriveKeyPBKDF2";

enum Provider { kAesEcb, kSha1, kMd5, kHmacSha256, kProviderCount };
const wchar_t kProviderNames[] = BCRYPT_AES_ALGORITHM L"\0" BCRYPT_SHA1_ALGORITHM
    L"\0" BCRYPT_MD5_ALGORITHM L"\0" BCRYPT_SHA256_ALGORITHM;

struct Cng {
  union {
    Functions fn;
    FARPROC resolved[kFunctionCount];
  };
  BCRYPT_ALG_HANDLE providers[kProviderCount];
  bool ready;
};

Cng g_cng;
INIT_ONCE g_loaded = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK Load(PINIT_ONCE, PVOID, PVOID*) {
  HMODULE m = LoadSystemLibrary(L"bcrypt.dll");
  Cng& c = g_cng;
  const char* name = kFunctionNames;
  for (FARPROC& fn : c.resolved) {
    if (!m || !(fn = GetProcAddress(m, name))) return TRUE;  // not ready: every call fails
    while (*name++) {
    }
  }
  const wchar_t* provider = kProviderNames;
  for (int i = 0; i < kProviderCount; ++i) {
    if (!BCRYPT_SUCCESS(c.fn.openAlgorithm(&c.providers[i], provider, nullptr,
                                           i == kHmacSha256 ? BCRYPT_ALG_HANDLE_HMAC_FLAG : 0))) {
      return TRUE;
    }
    while (*provider++) {
    }
  }
  static const wchar_t kEcb[] = BCRYPT_CHAIN_MODE_ECB;
  c.ready = BCRYPT_SUCCESS(c.fn.setProperty(c.providers[kAesEcb], BCRYPT_CHAINING_MODE,
                                            reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(kEcb)),
                                            sizeof kEcb, 0));
  return TRUE;
}

const Cng* Ready() {
  InitOnceExecuteOnce(&g_loaded, Load, nullptr, nullptr);
  return g_cng.ready ? &g_cng : nullptr;
}

// Keys, passwords and salts this long at most (as in the OpenSSL provider).
constexpr size_t kMostKeyBytes = 1024;

// CNG counts in ULONG. Where a size_t holds more (the 64-bit build), a large
// request goes in pieces of 1 GiB, a whole number of AES blocks; `step`
// takes each piece and says whether CNG did.
bool InPieces(const unsigned char* in, unsigned char* out, size_t size, void* handle,
              bool (*step)(void* handle, const unsigned char* in, unsigned char* out, ULONG n)) {
  constexpr size_t kPieceBytes = sizeof(size_t) > sizeof(ULONG) ? size_t{1} << 30 : ~size_t{0};
  while (size) {
    ULONG n = static_cast<ULONG>(size < kPieceBytes ? size : kPieceBytes);
    if (!step(handle, in, out, n)) return false;
    if (in) in += n;
    if (out) out += n;
    size -= n;
  }
  return true;
}

// A hash or HMAC state of CNG's, held by a state of the port (its handle):
// started on one of the providers, with the HMAC's key as the secret; fed
// in pieces CNG can count; finished, which ends it too.
bool StartHash(void** handle, Provider provider, const unsigned char* secret,
               size_t secretBytes) {
  const Cng* c = Ready();
  BCRYPT_HASH_HANDLE h = nullptr;
  bool ok = c && secretBytes <= kMostKeyBytes &&
            BCRYPT_SUCCESS(c->fn.createHash(c->providers[provider], &h, nullptr, 0,
                                            const_cast<PUCHAR>(secret),
                                            static_cast<ULONG>(secretBytes), 0));
  *handle = ok ? h : nullptr;
  return ok;
}

bool HashPiece(void* handle, const unsigned char* in, unsigned char*, ULONG n) {
  return BCRYPT_SUCCESS(g_cng.fn.hashData(handle, const_cast<PUCHAR>(in), n, 0));
}

bool HashPieces(void* handle, const void* data, size_t size) {
  return handle &&
         InPieces(static_cast<const unsigned char*>(data), nullptr, size, handle, HashPiece);
}

void EndHash(void** handle) {
  if (*handle) g_cng.fn.destroyHash(*handle);
  *handle = nullptr;
}

bool FinishHash(void** handle, unsigned char* out, ULONG bytes) {
  bool ok = *handle && BCRYPT_SUCCESS(g_cng.fn.finishHash(*handle, out, bytes, 0));
  EndHash(handle);
  return ok;
}

bool EncryptPiece(void* key, const unsigned char* in, unsigned char* out, ULONG n) {
  ULONG produced = 0;
  return BCRYPT_SUCCESS(g_cng.fn.encrypt(key, const_cast<PUCHAR>(in), n, nullptr, nullptr, 0,
                                         out, n, &produced, 0)) &&
         produced == n;
}

bool RandomPiece(void*, const unsigned char*, unsigned char* out, ULONG n) {
  return BCRYPT_SUCCESS(g_cng.fn.genRandom(nullptr, out, n, BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace

bool AesInit(AesKey* key, const unsigned char* bytes, size_t keyBytes) {
  const Cng* c = Ready();
  BCRYPT_KEY_HANDLE h = nullptr;
  bool ok = c && bytes && (keyBytes == 16 || keyBytes == 24 || keyBytes == 32) &&
            BCRYPT_SUCCESS(c->fn.generateKey(c->providers[kAesEcb], &h, nullptr, 0,
                                             const_cast<PUCHAR>(bytes),
                                             static_cast<ULONG>(keyBytes), 0));
  key->handle = ok ? h : nullptr;
  return ok;
}

bool AesEncryptBlocks(const AesKey* key, const unsigned char* in, unsigned char* out,
                      size_t blocks) {
  return Ready() && key->handle &&
         InPieces(in, out, blocks * kAesBlockBytes, key->handle, EncryptPiece);
}

void AesRelease(AesKey* key) {
  if (key->handle) g_cng.fn.destroyKey(key->handle);
  key->handle = nullptr;
}

bool Sha1Init(Sha1* state) { return StartHash(&state->handle, kSha1, nullptr, 0); }

bool Sha1Update(Sha1* state, const void* data, size_t size) {
  return HashPieces(state->handle, data, size);
}

bool Sha1Final(Sha1* state, unsigned char digest[kSha1Bytes]) {
  return FinishHash(&state->handle, digest, kSha1Bytes);
}

void Sha1Release(Sha1* state) { EndHash(&state->handle); }

bool Md5(const void* data, size_t size, unsigned char digest[kMd5Bytes]) {
  void* h = nullptr;
  bool ok = (data || !size) && StartHash(&h, kMd5, nullptr, 0) && HashPieces(h, data, size) &&
            FinishHash(&h, digest, kMd5Bytes);
  EndHash(&h);
  return ok;
}

bool HmacSha256Init(HmacSha256* state, const unsigned char* key, size_t keyBytes) {
  state->handle = nullptr;
  return key && keyBytes && StartHash(&state->handle, kHmacSha256, key, keyBytes);
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
  const Cng* c = Ready();
  return c && password && passwordBytes && passwordBytes <= kMostKeyBytes && salt &&
         saltBytes <= kMostKeyBytes && iterations && out && outBytes &&
         outBytes <= kMostKeyBytes &&
         BCRYPT_SUCCESS(c->fn.pbkdf2(c->providers[kHmacSha256], const_cast<PUCHAR>(password),
                                     static_cast<ULONG>(passwordBytes), const_cast<PUCHAR>(salt),
                                     static_cast<ULONG>(saltBytes), iterations, out,
                                     static_cast<ULONG>(outBytes), 0));
}

bool RandomBytes(void* out, size_t size) {
  return Ready() && InPieces(nullptr, static_cast<unsigned char*>(out), size, nullptr, RandomPiece);
}

}  // namespace orx::crypto
