// Format 1's keys against known answers: the password key, seen through
// the file key it unwraps, its refusals, and the password bytes.
#include "payload/payload_keys.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "payload/payload_crypto.h"
#include "payload/payload_open.h"
#include "payload_builder.h"

namespace orx::payload {
namespace {

using testing::Bytes;
using testing::FromHex;

// Known answers, made outside this code for the password "Pa55-wörd" (bytes
// 50 61 35 35 2d 77 f6 72 64) and the file keys 0x40, 0x41, ... :
//   seed:  python3 hashlib.md5(pw).hexdigest(), then 0x01 up to the key length
//   K:     printf seed | openssl enc -aes-N-cfb -K <seed> -iv <hex of
//          "4709215847092158"> -nopad
//   W:     printf fileKey | openssl enc -aes-N-cfb -K <K> -iv <same> -nopad
//   check: hashlib.sha1(fileKey).hexdigest()
struct KeyVector {
  int keyBytes;
  const char* seed;
  const char* passwordKey;
  const char* fileKey;
  const char* wrappedKey;
  const char* keyCheck;
};
const unsigned char kPassword[] = "Pa55-w\xF6rd";
const char kPasswordMd5[] = "9c3ddcc60000c06f857f455bdb64d82b";
const KeyVector kVectors[] = {
    {16, "9c3ddcc60000c06f857f455bdb64d82b", "e74baf1ad79635a904d39e96546efd15",
     "404142434445464748494a4b4c4d4e4f", "606f6c35ac7ecae3d9ca5ff4bdcd88d1",
     "82fcd6ea686650aeab977d7af3ad6081ab8a10de"},
    {24, "9c3ddcc60000c06f857f455bdb64d82b0101010101010101",
     "eb0f81f3ad9fda6acae3dfb603ce4b8c75a44f8596c77890",
     "404142434445464748494a4b4c4d4e4f5051525354555657",
     "4ede996cc3d8fc52cb72a16bb8566d116b0b9dac971a46a5",
     "e8d304a75bf3ae7d32353de679de7c60f3dbf4c5"},
    {32, "9c3ddcc60000c06f857f455bdb64d82b01010101010101010101010101010101",
     "66c6f0822200bb7ff7bb8283044e54df2ff4f1e7e8285e985773cdf135204f87",
     "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f",
     "b6452e409cf37ab61699d2756e94eac42ec1369fd9e3a16147ef1409785de5e9",
     "34c1cd143b2852b39e23501739d5fffcfb8763da"},
};

Bytes Take(const unsigned char* p, size_t n) { return Bytes(p, p + n); }

// A header holding just the key fields, for UnlockPayload.
PayloadHeader KeyHeader(int keyBytes, const char* wrappedKey, const char* keyCheck) {
  PayloadHeader h = {};
  h.keyBytes = static_cast<uint32_t>(keyBytes);
  Bytes w = FromHex(wrappedKey), c = FromHex(keyCheck);
  std::copy(w.begin(), w.end(), h.wrappedKey);
  std::copy(c.begin(), c.end(), h.keyCheck);
  return h;
}

// The password key is derived only inside UnlockPayload; its known answers
// show through the file key it unwraps (a wrong K unwraps another key,
// whose SHA-1 then misses keyCheck).
TEST(PayloadKeys, KnownAnswersForEveryKeyLength) {
  unsigned char* md5 = DigestBuffer(kPassword, 9, "md5");
  ASSERT_NE(md5, nullptr);
  EXPECT_EQ(Take(md5, 16), FromHex(kPasswordMd5));
  ReleaseBuffer(md5);

  for (const KeyVector& v : kVectors) {
    SCOPED_TRACE(v.keyBytes);
    FileKey key;
    ASSERT_EQ(UnlockPayload(KeyHeader(v.keyBytes, v.wrappedKey, v.keyCheck), kPassword, 9, &key),
              kOk);
    EXPECT_EQ(key.size, static_cast<uint32_t>(v.keyBytes));
    EXPECT_EQ(Take(key.bytes, key.size), FromHex(v.fileKey));
  }
}

TEST(PayloadKeys, DerivationRefusalsAndTheEmptyPassword) {
  const KeyVector& v = kVectors[0];
  PayloadHeader h = KeyHeader(v.keyBytes, v.wrappedKey, v.keyCheck);
  FileKey key;
  EXPECT_EQ(UnlockPayload(h, nullptr, 0, &key), kNoPassword);
  EXPECT_EQ(UnlockPayload(h, kPassword, 8, &key), kPasswordLength);
  for (uint32_t bad : {0u, 15u, 20u, 33u}) {
    h.keyBytes = bad;
    EXPECT_EQ(UnlockPayload(h, kPassword, 9, &key), kBadKeyLength) << bad;
    EXPECT_EQ(key.size, 0u) << "nothing unwrapped";
  }
  // The empty password is derived like any other: from MD5 of no bytes
  // (d41d8cd98f00b204e9800998ecf8427e), so K = 7ff7a0f759c747758145015d8dee139c
  // (printf <seed> | openssl enc -aes-128-cfb -K <seed> -iv <IV> -nopad), under
  // which the file key 0x40..0x4f wraps to fea0bed8cbbb782409ed78137b769d07.
  PayloadHeader empty = KeyHeader(16, "fea0bed8cbbb782409ed78137b769d07", v.keyCheck);
  const unsigned char* none = reinterpret_cast<const unsigned char*>("");
  ASSERT_EQ(UnlockPayload(empty, none, 0, &key), kOk);
  EXPECT_EQ(Take(key.bytes, 16), FromHex(v.fileKey));
  EXPECT_EQ(UnlockPayload(empty, reinterpret_cast<const unsigned char*>("a"), 1, &key),
            kWrongPassword);
}

TEST(PasswordBytes, LowByteOfEachUnitAndTheLengthRule) {
  unsigned char bytes[kPasswordBytesCapacity];
  const uint16_t acute[] = {'c', 0x00E9};  // é
  const uint16_t caron[] = {'c', 0x01E9};  // ǩ: same low byte
  size_t n = PasswordBytesFromText(acute, 2, bytes);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes)), "c\xE9");
  unsigned char other[kPasswordBytesCapacity];
  PasswordBytesFromText(caron, 2, other);
  EXPECT_STREQ(reinterpret_cast<char*>(bytes), reinterpret_cast<char*>(other));

  // U+0100 has a zero low byte: the bytes end early and derivation refuses.
  const KeyVector& v = kVectors[2];
  PayloadHeader h = KeyHeader(v.keyBytes, v.wrappedKey, v.keyCheck);
  FileKey key;
  const uint16_t zeroLow[] = {'a', 0x0100, 'b'};
  n = PasswordBytesFromText(zeroLow, 3, bytes);
  EXPECT_EQ(UnlockPayload(h, bytes, n, &key), kPasswordLength);

  // 254 units are derived (and are simply the wrong password here); 255
  // (the field's limit) give empty bytes and are refused.
  uint16_t longText[255];
  for (auto& u : longText) u = 'x';
  n = PasswordBytesFromText(longText, 254, bytes);
  EXPECT_EQ(strlen(reinterpret_cast<char*>(bytes)), 254u);
  EXPECT_EQ(UnlockPayload(h, bytes, n, &key), kWrongPassword);
  n = PasswordBytesFromText(longText, 255, bytes);
  EXPECT_EQ(n, 255u);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(UnlockPayload(h, bytes, n, &key), kPasswordLength);
}

}  // namespace
}  // namespace orx::payload
