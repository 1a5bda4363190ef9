// The buffer-returning functions against known answers: cipher names,
// buffer ciphers, and the payload's decryption through DecryptPayload.
#include "payload/payload_crypto.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <utility>

#include "memory_stream.h"
#include "payload_builder.h"

namespace orx::payload {
namespace {

using testing::Bytes;
using testing::FromHex;
using testing::MemoryStream;

// "The quick brown fox jumps over the lazy dog" under the 32-byte file key
// 0x40..0x5f, made with: printf '...' | openssl enc -aes-256-cfb -K 4041..5f
// -iv 34373039323135383437303932313538 -nopad | xxd -p; its SHA-1 from
// sha1sum.
const char kFox[] = "The quick brown fox jumps over the lazy dog";
const char kFoxCipher[] =
    "6b13ededaa0670f366510699de48f6bf967a90f8780c0cd97bd6585cd72b6534"
    "30795925ec0630116e24ca";
const char kFoxSha1[] = "2fd4e1c67a2d28fced849ee1bb76e7391b93eb12";
// The file keys 0x40, 0x41, ...
const char kFileKey192[] = "404142434445464748494a4b4c4d4e4f5051525354555657";
const char kFileKey256[] = "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f";

TEST(CipherNames, FormedLookedUpAndReleased) {
  const char* expected[] = {"aes-128-ecb", "aes-192-cfb", "aes-256-cbc", "aes-128-ofb"};
  const int keys[] = {16, 24, 32, 16};
  for (int mode = 0; mode < 4; ++mode) {
    char* name = MakeCipherName(mode, keys[mode]);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, expected[mode]);
    // Only the three CFB names are ciphers here.
    EXPECT_EQ(LookupCipher(name) != nullptr, mode == kModeCfb);
    EXPECT_EQ(ReleaseCipherName(name), kOk);
  }
  EXPECT_EQ(MakeCipherName(4, 16), nullptr);
  EXPECT_EQ(MakeCipherName(-1, 16), nullptr);
  char* odd = MakeCipherName(kModeCfb, 20);
  EXPECT_STREQ(odd, "aes-160-cfb");
  EXPECT_EQ(LookupCipher(odd), nullptr);
  ReleaseCipherName(odd);
  // Every int's bits, beyond 32 bits too, with their sign.
  const std::pair<int, const char*> extremes[] = {{0, "aes-0-cfb"},
                                                  {-2, "aes--16-cfb"},
                                                  {2147483647, "aes-17179869176-cfb"},
                                                  {-2147483647 - 1, "aes--17179869184-cfb"}};
  for (const auto& [bytes, text] : extremes) {
    char* name = MakeCipherName(kModeCfb, bytes);
    EXPECT_STREQ(name, text);
    ReleaseCipherName(name);
  }
  EXPECT_EQ(ReleaseCipherName(nullptr), kNoCipherNameToRelease);

  for (int bytes : {16, 24, 32}) {
    char* name = MakeCipherName(kModeCfb, bytes);
    ASSERT_NE(LookupCipher(name), nullptr);
    EXPECT_EQ(LookupCipher(name)->keyBytes, bytes);
    ReleaseCipherName(name);
  }
  EXPECT_EQ(LookupCipher("AES-256-CFB"), nullptr);
  EXPECT_EQ(LookupCipher(nullptr), nullptr);
  EXPECT_EQ(LookupDigest("sha1")->size, 20u);
  EXPECT_EQ(LookupDigest("md5")->size, 16u);
  EXPECT_EQ(LookupDigest("sha256"), nullptr);
  EXPECT_EQ(DigestBuffer("x", 1, "sha256"), nullptr);
}

TEST(BufferCiphers, RoundTripAndRefusals) {
  Bytes key = FromHex(kFileKey192);
  for (size_t length : {0u, 1u, 1023u, 1024u, 1025u, 5000u}) {
    SCOPED_TRACE(length);
    Bytes plain(length);
    for (size_t i = 0; i < length; ++i) plain[i] = static_cast<uint8_t>(i * 31 + 7);
    Bytes cipher(length + 1, 0xEE);
    size_t n = 99;
    ASSERT_EQ(EncryptBuffer("aes-192-cfb", key.data(), kIvText, plain.data(), length,
                            cipher.data(), &n),
              kOk);
    EXPECT_EQ(n, length);
    EXPECT_EQ(cipher[length], 0);  // the zero after the output
    cipher.resize(length);
    if (length) {
      EXPECT_NE(cipher, plain);
    }
    Bytes back(length + 1);
    ASSERT_EQ(DecryptBuffer("aes-192-cfb", key.data(), kIvText, cipher.data(), length,
                            back.data(), &n),
              kOk);
    back.resize(n);
    EXPECT_EQ(back, plain);
  }
  unsigned char out[8];
  size_t n = 0;
  EXPECT_EQ(EncryptBuffer("aes-192-cbc", key.data(), kIvText, out, 0, out, &n), kNoSuchCipher);
  EXPECT_EQ(DecryptBuffer("des", key.data(), kIvText, out, 0, out, &n), kNoSuchCipher);
  int error = 0;
  EXPECT_EQ(DecryptWithKey(out, 1, key.data(), 24, &n, 2, kIvText, &error), nullptr);
  EXPECT_EQ(error, kNoSuchCipher);
  EXPECT_EQ(DecryptWithKey(out, 1, key.data(), 24, &n, 7, kIvText, &error), nullptr);
  EXPECT_EQ(error, kNoSuchCipher);
}

TEST(DecryptPayload, KnownAnswer) {
  MemoryStream in, out;
  in.data = FromHex(kFoxCipher);
  in.data.resize(in.data.size() + 24, 0xCC);  // bytes behind the cipher text stay unread
  PayloadStream pin = in.Port(), pout = out.Port();
  unsigned char digest[21];
  memset(digest, 0xFF, sizeof digest);
  Bytes key = FromHex(kFileKey256);
  ASSERT_EQ(DecryptPayload("aes-256-cfb", key.data(), kIvText, &pin, strlen(kFox), &pout, digest),
            kOk);
  EXPECT_EQ(std::string(out.data.begin(), out.data.end()), kFox);
  EXPECT_EQ(Bytes(digest, digest + 20), FromHex(kFoxSha1));
  EXPECT_EQ(digest[20], 0);
  EXPECT_EQ(in.position, static_cast<int64_t>(strlen(kFox)));
}

TEST(DecryptPayload, RefusalsAndFailures) {
  Bytes key(32, 1);
  MemoryStream in, out;
  in.data.assign(3000, 0x11);
  PayloadStream pin = in.Port(), pout = out.Port();
  unsigned char digest[21];
  EXPECT_EQ(DecryptPayload("aes-256-cfb", key.data(), kIvText, &pin, 10, &pout, nullptr),
            kNoDigest);
  EXPECT_EQ(DecryptPayload("aes-256-ofb", key.data(), kIvText, &pin, 10, &pout, digest),
            kNoSuchCipher);

  // The payload ends early: a failure, not zeros passed off as plaintext.
  in.position = 0;
  memset(digest, 0xFF, sizeof digest);
  EXPECT_EQ(DecryptPayload("aes-256-cfb", key.data(), kIvText, &pin, 3001, &pout, digest),
            kPayloadDecryptFailed);
  EXPECT_EQ(Bytes(digest, digest + 21), Bytes(21, 0));

  // The output refuses bytes (a full disk): a failure of its own kind,
  // though the digest of what was decrypted would have matched.
  for (size_t limit : {0u, 1000u, 2047u}) {
    MemoryStream full;
    full.writeLimit = limit;
    PayloadStream pfull = full.Port();
    in.position = 0;
    memset(digest, 0xFF, sizeof digest);
    EXPECT_EQ(DecryptPayload("aes-256-cfb", key.data(), kIvText, &pin, 2048, &pfull, digest),
              kOutputFailed)
        << limit;
    EXPECT_EQ(Bytes(digest, digest + 21), Bytes(21, 0));
  }
}

}  // namespace
}  // namespace orx::payload
