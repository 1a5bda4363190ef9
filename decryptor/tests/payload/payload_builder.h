// Test-side payload assembly: the format written field by field, each field
// free to be made wrong. The cipher text comes from the core's serial CFB
// encryption, which the known answers of crypto_port_test.cpp anchor (and,
// on the host, the comparison with OpenSSL's own CFB), so that a round trip
// checks the decrypting side against the encrypting one.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/cfb128.h"
#include "payload/format2_keys.h"
#include "payload/payload_crypto.h"
#include "payload/payload_header.h"

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

// A well-formed format-2 payload of `content` for the password text, at the
// lowest cost readers take unless told (tests derive often). Built from the
// core's own pieces (SealFileKey2, DeriveContentKeys, the serial CFB, the
// provider's HMAC), each anchored by known answers; tools/orx/tests has a
// second, independent writer and reader of the format.
inline Bytes MakePayload2(const std::u16string& name, const std::u16string& password,
                          const Bytes& content, uint32_t iterations = kMinIterations) {
  PayloadHeader h = {};
  h.format = 2;
  h.iterations = iterations;
  h.nameUnits = static_cast<uint32_t>(name.size());
  for (size_t i = 0; i < name.size(); ++i) h.fileName[i] = name[i];
  for (size_t i = 0; i < kSaltBytes; ++i) {
    h.salt[i] = static_cast<uint8_t>(0x10 + i);
    h.keyIv[i] = static_cast<uint8_t>(0x30 + i);
    h.contentIv[i] = static_cast<uint8_t>(0x50 + i);
  }
  FileKey fileKey = {};
  fileKey.size = kFileKey2Bytes;
  for (size_t i = 0; i < kFileKey2Bytes; ++i) fileKey.bytes[i] = static_cast<uint8_t>(0xC0 + i);
  unsigned char pw[kPasswordUtf8Capacity];
  size_t pwBytes = 0;
  if (PasswordUtf8FromText(reinterpret_cast<const uint16_t*>(password.data()), password.size(),
                           pw, &pwBytes) != kOk ||
      SealFileKey2(fileKey, pw, pwBytes, &h) != kOk) {
    return {};
  }
  Bytes out(kMaxHeaderBytes);
  out.resize(WritePayloadHeader(h, out.data()));
  ContentKeys keys;
  const size_t headerSize = out.size();
  out.resize(headerSize + content.size());
  crypto::HmacSha256 mac = {};
  unsigned char tag[kTagBytes];
  if (headerSize == 0 || !DeriveContentKeys(fileKey, &keys) ||
      !crypto::Cfb128Buffer(keys.cipher, sizeof keys.cipher, h.contentIv, content.data(),
                            out.data() + headerSize, content.size(), true) ||
      !crypto::HmacSha256Init(&mac, keys.mac, sizeof keys.mac) ||
      !crypto::HmacSha256Update(&mac, out.data(), out.size()) ||
      !crypto::HmacSha256Final(&mac, tag)) {
    crypto::HmacSha256Release(&mac);
    return {};
  }
  out.insert(out.end(), tag, tag + kTagBytes);
  return out;
}

// Little-endian 32-bit field at `offset`, for headers made wrong on purpose.
inline void SetUint32(Bytes& bytes, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace orx::payload::testing
