// The crypto port's provider (OpenSSL on the host, CNG under Wine) against
// published known answers: FIPS 180 SHA-1, the RFC 1321 MD5 test suite,
// RFC 4231 HMAC-SHA256 and RFC 7914 section 11 PBKDF2-HMAC-SHA256 (AES
// through the CFB128 composed over it: cfb128_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "payload/crypto_port.h"
#include "payload_builder.h"

namespace orx::crypto {
namespace {

using payload::testing::Bytes;
using payload::testing::FromHex;

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {digits[p[i] >> 4], digits[p[i] & 15]};
  return s;
}

TEST(Digests, Sha1AndMd5KnownAnswers) {
  const std::string million(1000000, 'a');
  const struct {
    std::string text;
    const char* sha1;
  } sha1Vectors[] = {
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
  };
  for (const auto& v : sha1Vectors) {
    // Fed in uneven pieces, as the streamed decryption does.
    Sha1 s = {};
    ASSERT_TRUE(Sha1Init(&s));
    for (size_t at = 0; at < v.text.size(); at += 4099) {
      ASSERT_TRUE(Sha1Update(&s, v.text.data() + at, std::min<size_t>(4099, v.text.size() - at)));
    }
    unsigned char d[kSha1Bytes];
    ASSERT_TRUE(Sha1Final(&s, d));
    EXPECT_EQ(Hex(d, sizeof d), v.sha1) << v.text.substr(0, 10);
  }
  const struct {
    const char* text;
    const char* md5;
  } md5Vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& v : md5Vectors) {
    unsigned char d[kMd5Bytes];
    ASSERT_TRUE(Md5(v.text, std::char_traits<char>::length(v.text), d));
    EXPECT_EQ(Hex(d, sizeof d), v.md5) << v.text;
  }
}

TEST(HmacSha256, Rfc4231KnownAnswers) {
  const struct {
    Bytes key;
    std::string data;
    const char* mac;
  } vectors[] = {
      {Bytes(20, 0x0b), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {Bytes{'J', 'e', 'f', 'e'}, "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {Bytes(20, 0xaa), std::string(50, '\xdd'),
       "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
      {FromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), std::string(50, '\xcd'),
       "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
      // Keys longer than SHA-256's block are hashed first.
      {Bytes(131, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
      {Bytes(131, 0xaa),
       "This is a test using a larger than block-size key and a larger than block-size data. "
       "The key needs to be hashed before being used by the HMAC algorithm.",
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
  };
  for (const auto& v : vectors) {
    // Whole, and in uneven pieces as the streamed decryption feeds it.
    for (size_t piece : {v.data.size() + 1, size_t{7}}) {
      HmacSha256 s = {};
      ASSERT_TRUE(HmacSha256Init(&s, v.key.data(), v.key.size()));
      for (size_t at = 0; at < v.data.size(); at += piece) {
        ASSERT_TRUE(
            HmacSha256Update(&s, v.data.data() + at, std::min(piece, v.data.size() - at)));
      }
      unsigned char mac[kSha256Bytes];
      ASSERT_TRUE(HmacSha256Final(&s, mac));
      EXPECT_EQ(Hex(mac, sizeof mac), v.mac) << v.data.substr(0, 10) << " " << piece;
    }
  }
  HmacSha256 none = {};
  EXPECT_FALSE(HmacSha256Init(&none, FromHex("00").data(), 0)) << "no key";
  HmacSha256Release(&none);
}

TEST(Pbkdf2HmacSha256, Rfc7914KnownAnswers) {
  const struct {
    std::string password, salt;
    uint32_t iterations;
    const char* key;
  } vectors[] = {
      {"passwd", "salt", 1,
       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
      {"Password", "NaCl", 80000,
       "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
       "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
  };
  for (const auto& v : vectors) {
    unsigned char key[64];
    ASSERT_TRUE(Pbkdf2HmacSha256(reinterpret_cast<const unsigned char*>(v.password.data()),
                                 v.password.size(),
                                 reinterpret_cast<const unsigned char*>(v.salt.data()),
                                 v.salt.size(), v.iterations, key, sizeof key));
    EXPECT_EQ(Hex(key, sizeof key), v.key) << v.password;
    // The first 32 bytes, one block, as the payload derives its key.
    unsigned char first[32];
    ASSERT_TRUE(Pbkdf2HmacSha256(reinterpret_cast<const unsigned char*>(v.password.data()),
                                 v.password.size(),
                                 reinterpret_cast<const unsigned char*>(v.salt.data()),
                                 v.salt.size(), v.iterations, first, sizeof first));
    EXPECT_EQ(Hex(first, sizeof first), std::string(v.key, 64)) << v.password;
  }
  unsigned char key[32];
  const unsigned char salt[] = "salt";
  EXPECT_FALSE(Pbkdf2HmacSha256(salt, 0, salt, 4, 1, key, sizeof key)) << "no password";
  EXPECT_FALSE(Pbkdf2HmacSha256(salt, 4, salt, 4, 0, key, sizeof key)) << "no iterations";
}

TEST(Random, FillsAndDiffers) {
  unsigned char a[64] = {}, b[64] = {};
  ASSERT_TRUE(RandomBytes(a, sizeof a));
  ASSERT_TRUE(RandomBytes(b, sizeof b));
  EXPECT_NE(Bytes(a, a + 64), Bytes(b, b + 64));
  EXPECT_NE(Bytes(a, a + 64), Bytes(64, 0));
}

}  // namespace
}  // namespace orx::crypto
