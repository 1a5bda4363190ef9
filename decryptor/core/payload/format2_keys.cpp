#include "payload/format2_keys.h"

#include <string.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "orx/secret.h"
#include "payload/cfb128.h"

namespace orx::payload {

namespace {

// The info texts of the three keys HKDF-Expand makes from the file key.
const char kKeyCheckInfo[] = "orx2 key check";
const char kContentKeyInfo[] = "orx2 content key";
const char kContentMacInfo[] = "orx2 content mac";

// HKDF-Expand(FK, info, 32): one block, T(1) = HMAC(FK, info || 0x01),
// the info text without its terminator.
bool Expand(const FileKey& key, const char* info, size_t infoBytes,
            unsigned char out[crypto::kSha256Bytes]) {
  static const unsigned char kFirstBlock = 0x01;
  crypto::HmacSha256 mac = {};
  bool ok = crypto::HmacSha256Init(&mac, key.bytes, kFileKey2Bytes) &&
            crypto::HmacSha256Update(&mac, info, infoBytes) &&
            crypto::HmacSha256Update(&mac, &kFirstBlock, 1) && crypto::HmacSha256Final(&mac, out);
  crypto::HmacSha256Release(&mac);
  return ok;
}

bool CostInBounds(uint32_t iterations) {
  return iterations >= kMinIterations && iterations <= kMaxIterations;
}

// KEK of the password bytes under the header's salt and cost.
bool DeriveKek(const PayloadHeader& header, const unsigned char* password, size_t passwordBytes,
               unsigned char kek[kFileKey2Bytes]) {
  return crypto::Pbkdf2HmacSha256(password, passwordBytes, header.salt, kSaltBytes,
                                  header.iterations, kek, kFileKey2Bytes);
}

}  // namespace

int PasswordUtf8FromText(const uint16_t* text, size_t units,
                         unsigned char out[kPasswordUtf8Capacity], size_t* length) {
  *length = 0;
  if (units > kPasswordMaxUnits || (units && !text)) return kPasswordNotText;
  for (size_t i = 0; i < units; ++i) {
    if (text[i] == 0) return kPasswordNotText;
  }
  if (units == 0) return kOk;
#if defined(_WIN32)
  // The system's encoder gives the same bytes, and refuses an unpaired
  // surrogate (WC_ERR_INVALID_CHARS) instead of replacing it.
  int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, reinterpret_cast<LPCWCH>(text),
                              static_cast<int>(units), reinterpret_cast<LPSTR>(out),
                              static_cast<int>(kPasswordUtf8Capacity), nullptr, nullptr);
  if (n <= 0) return kPasswordNotText;  // what was written goes with the caller's owner
  *length = static_cast<size_t>(n);
#else
  size_t n = 0;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      // A high surrogate followed by a low one, or refused.
      if (c > 0xDBFF || i + 1 == units || (text[i + 1] & 0xFC00) != 0xDC00) {
        return kPasswordNotText;  // what was written goes with the caller's owner
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
    }
    if (c < 0x80) {
      out[n++] = static_cast<unsigned char>(c);
    } else {
      // The lead byte's marker and the count of continuation bytes.
      int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
      static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
      out[n++] = static_cast<unsigned char>(kLead[more] | (c >> (6 * more)));
      while (more--) out[n++] = static_cast<unsigned char>(0x80 | ((c >> (6 * more)) & 0x3F));
    }
  }
  *length = n;
#endif
  return kOk;
}

int SealFileKey2(const FileKey& key, const unsigned char* password, size_t passwordBytes,
                 PayloadHeader* header) {
  if (key.size != kFileKey2Bytes) return kBadKeyLength;
  if (!CostInBounds(header->iterations)) return kBadCost;
  if (!password || passwordBytes == 0) return kPasswordNotText;
  Secret<unsigned char[kFileKey2Bytes]> kek;
  if (!DeriveKek(*header, password, passwordBytes, kek.value)) return kKeyDerivationFailed;
  if (!crypto::Cfb128Buffer(kek.value, kFileKey2Bytes, header->keyIv, key.bytes,
                            header->wrappedKey, kFileKey2Bytes, true)) {
    return kEncryptFailed;
  }
  return Expand(key, kKeyCheckInfo, sizeof kKeyCheckInfo - 1, header->keyCheck)
             ? kOk
             : kKeyDerivationFailed;
}

int UnsealFileKey2(const PayloadHeader& header, const unsigned char* password,
                   size_t passwordBytes, FileKey* key) {
  SecureWipe(key, sizeof *key);
  if (!CostInBounds(header.iterations)) return kBadCost;
  if (!password || passwordBytes == 0) return kWrongPassword;
  // One owner for every intermediate: one wipe on every way out.
  struct Unsealing {
    unsigned char kek[kFileKey2Bytes];
    FileKey key;
    unsigned char check[kKeyCheck2Bytes];
  };
  Secret<Unsealing> s;
  s.value.key.size = kFileKey2Bytes;
  if (!DeriveKek(header, password, passwordBytes, s.value.kek)) return kKeyDerivationFailed;
  if (!crypto::Cfb128Buffer(s.value.kek, kFileKey2Bytes, header.keyIv, header.wrappedKey,
                            s.value.key.bytes, kFileKey2Bytes, false)) {
    return kDecryptFailed;
  }
  if (!Expand(s.value.key, kKeyCheckInfo, sizeof kKeyCheckInfo - 1, s.value.check)) {
    return kKeyDerivationFailed;
  }
  if (!SameBytes(s.value.check, header.keyCheck, kKeyCheck2Bytes)) return kWrongPassword;
  memcpy(key, &s.value.key, sizeof *key);
  return kOk;
}

bool DeriveContentKeys(const FileKey& key, ContentKeys* keys) {
  return key.size == kFileKey2Bytes &&
         Expand(key, kContentKeyInfo, sizeof kContentKeyInfo - 1, keys->cipher) &&
         Expand(key, kContentMacInfo, sizeof kContentMacInfo - 1, keys->mac);
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t size) {
  unsigned char difference = 0;
  for (size_t i = 0; i < size; ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace orx::payload
