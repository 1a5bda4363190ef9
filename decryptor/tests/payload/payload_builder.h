// Test-side payload assembly, written against OpenSSL directly rather than
// the code under test, so that round trips check the core against a second
// reading of the format.
#pragma once

#include <openssl/evp.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace orx::payload::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes FromHex(const char* hex) {
  Bytes out;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
  }
  return out;
}

inline void PutUint32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline Bytes Utf16Le(const std::u16string& text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

inline Bytes Cfb(const Bytes& key, const Bytes& data, bool encrypt) {
  const EVP_CIPHER* c = key.size() == 16   ? EVP_aes_128_cfb128()
                        : key.size() == 24 ? EVP_aes_192_cfb128()
                                           : EVP_aes_256_cfb128();
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 16);
  int n = 0, f = 0;
  EVP_CipherInit_ex(ctx, c, nullptr, key.data(),
                    reinterpret_cast<const unsigned char*>("4709215847092158"), encrypt);
  EVP_CipherUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
  EVP_CipherFinal_ex(ctx, out.data() + n, &f);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<size_t>(n + f));
  return out;
}

inline Bytes Digest(const EVP_MD* md, const Bytes& data) {
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &n, md, nullptr);
  out.resize(n);
  return out;
}

// The fields of one payload, each free to be made wrong by a test.
struct PayloadParts {
  uint32_t signature = 0xF8EBD601u;
  Bytes name;
  uint32_t keyBytes = 32;
  Bytes keyCheck, wrappedKey, secondBlock, cipherText, plainDigest;
  Bytes tail = Bytes(4, 0);

  Bytes Serialize() const {
    Bytes out;
    PutUint32(out, signature);
    PutUint32(out, static_cast<uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    PutUint32(out, keyBytes);
    for (const Bytes* b : {&keyCheck, &wrappedKey, &secondBlock, &cipherText, &plainDigest, &tail}) {
      out.insert(out.end(), b->begin(), b->end());
    }
    return out;
  }
};

// A well-formed payload of `content` for password bytes `password`.
inline PayloadParts MakePayload(const std::u16string& name, const std::string& password,
                                size_t keyBytes, const Bytes& content) {
  Bytes pw(password.begin(), password.end());
  Bytes seed = Digest(EVP_md5(), pw);
  seed.resize(keyBytes, 0x01);
  Bytes passwordKey = Cfb(seed, seed, true);
  Bytes fileKey(keyBytes);
  for (size_t i = 0; i < keyBytes; ++i) fileKey[i] = static_cast<uint8_t>(0xA0 + i * 7);
  PayloadParts p;
  p.name = Utf16Le(name);
  p.keyBytes = static_cast<uint32_t>(keyBytes);
  p.keyCheck = Digest(EVP_sha1(), fileKey);
  p.wrappedKey = Cfb(passwordKey, fileKey, true);
  p.secondBlock = Bytes(keyBytes, 0x5A);
  p.cipherText = Cfb(fileKey, content, true);
  p.plainDigest = Digest(EVP_sha1(), content);
  return p;
}

}  // namespace orx::payload::testing
