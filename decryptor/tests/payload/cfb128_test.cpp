// The CFB128 composed over the crypto port's provider (OpenSSL on the host,
// CNG under Wine), against NIST SP 800-38A F.3.13/F.3.15/F.3.17
// (CFB128-AES encryption); every other split against OpenSSL's own mode in
// cfb128_openssl_test.cpp (host only).
#include "payload/cfb128.h"

#include <gtest/gtest.h>

#include "payload_builder.h"

namespace orx::crypto {
namespace {

using payload::testing::Bytes;
using payload::testing::FromHex;

const char kNistIv[] = "000102030405060708090a0b0c0d0e0f";
const char kNistPlain[] =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
struct CfbVector {
  const char* key;
  const char* cipher;
};
const CfbVector kNistCfb128[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c",
     "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"
     "26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0eeac4c66f9ff7f2e6"},
    {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
     "cdc80d6fddf18cab34c25909c99a417467ce7f7f81173621961a2b70171d3d7a"
     "2e1e8a1dd59b88b1c8e60fed1efac4c9c05f9f9ca9834fa042ae8fba584b09ff"},
    {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
     "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
     "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471"},
};

// Every way through the composition gives the published bytes: serial
// encryption and decryption, and the parallel decryption in runs.
TEST(Cfb128, NistVectorsForEveryKeyLength) {
  const Bytes iv = FromHex(kNistIv), plain = FromHex(kNistPlain);
  for (const CfbVector& v : kNistCfb128) {
    const Bytes key = FromHex(v.key), expected = FromHex(v.cipher);
    SCOPED_TRACE(key.size());
    Cfb128 s = {};
    Bytes out(plain.size());
    ASSERT_TRUE(Cfb128Init(&s, key.data(), key.size(), iv.data()));
    ASSERT_TRUE(Cfb128Encrypt(&s, plain.data(), out.data(), 7));
    ASSERT_TRUE(Cfb128Encrypt(&s, plain.data() + 7, out.data() + 7, plain.size() - 7));
    Cfb128Release(&s);
    EXPECT_EQ(out, expected);

    ASSERT_TRUE(Cfb128Init(&s, key.data(), key.size(), iv.data()));
    ASSERT_TRUE(Cfb128Decrypt(&s, expected.data(), out.data(), expected.size()));
    Cfb128Release(&s);
    EXPECT_EQ(out, plain);

    // The parallel decryption, started inside a block by the serial one
    // (every other split is compared with OpenSSL on the host).
    ASSERT_TRUE(Cfb128Init(&s, key.data(), key.size(), iv.data()));
    Bytes got(plain.size() + 16);
    ASSERT_TRUE(Cfb128Decrypt(&s, expected.data(), got.data(), 5));
    ASSERT_TRUE(Cfb128DecryptRun(&s, expected.data() + 5, got.data() + 5, expected.size() - 5));
    Cfb128Release(&s);
    got.resize(plain.size());
    EXPECT_EQ(got, plain);
  }
  Cfb128 s = {};
  EXPECT_FALSE(Cfb128Init(&s, FromHex(kNistIv).data(), 20, FromHex(kNistIv).data()));
  Cfb128Release(&s);
}

}  // namespace
}  // namespace orx::crypto
