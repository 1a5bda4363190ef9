// Test-side payload assembly: the format written field by field, each field
// free to be made wrong. The cipher text comes from the core's serial CFB
// encryption, which the known answers of crypto_port_test.cpp anchor (and,
// on the host, the comparison with OpenSSL's own CFB), so that a round trip
// checks the decrypting side against the encrypting one.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/payload_crypto.h"

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
  const std::string name = "aes-" + std::to_string(key.size() * 8) + "-cfb";
  Bytes out(data.size() + 1);
  size_t n = 0;
  int rc = encrypt ? EncryptBuffer(name.c_str(), key.data(), kIvText, data.data(), data.size(),
                                   out.data(), &n)
                   : DecryptBuffer(name.c_str(), key.data(), kIvText, data.data(), data.size(),
                                   out.data(), &n);
  out.resize(rc == kOk ? n : 0);
  return out;
}

inline Bytes Digest(const char* name, const Bytes& data) {
  unsigned char* d = DigestBuffer(data.data(), data.size(), name);
  Bytes out(d, d + (d ? LookupDigest(name)->size : 0));
  ReleaseBuffer(d);
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
  Bytes seed = Digest("md5", pw);
  seed.resize(keyBytes, 0x01);
  Bytes passwordKey = Cfb(seed, seed, true);
  Bytes fileKey(keyBytes);
  for (size_t i = 0; i < keyBytes; ++i) fileKey[i] = static_cast<uint8_t>(0xA0 + i * 7);
  PayloadParts p;
  p.name = Utf16Le(name);
  p.keyBytes = static_cast<uint32_t>(keyBytes);
  p.keyCheck = Digest("sha1", fileKey);
  p.wrappedKey = Cfb(passwordKey, fileKey, true);
  p.secondBlock = Bytes(keyBytes, 0x5A);
  p.cipherText = Cfb(fileKey, content, true);
  p.plainDigest = Digest("sha1", content);
  return p;
}

}  // namespace orx::payload::testing
