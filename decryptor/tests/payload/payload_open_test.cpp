// Whole payloads opened the way the decryptor and orx do: the one sequence,
// for both formats.
#include "payload/payload_open.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>

#include "memory_stream.h"
#include "payload/payload_header.h"
#include "payload_builder.h"

namespace orx::payload {
namespace {

using testing::Bytes;
using testing::MemoryStream;
using testing::PayloadParts;

// How an open went, through the one sequence the decryptor and orx run.
struct Opening {
  int code;     // the first failure, or kOk
  Bytes plain;  // what reached the output
};

// SHA-1 of what an output took, as a caller that hashes it itself computes it.
std::vector<unsigned char> Sha1Of(const Bytes& data) {
  std::vector<unsigned char> digest(kSha1Bytes);
  crypto::Sha1 sha = {};
  EXPECT_TRUE(crypto::Sha1Init(&sha) && crypto::Sha1Update(&sha, data.data(), data.size()) &&
              crypto::Sha1Final(&sha, digest.data()));
  return digest;
}

// Opens `payload` with `password`: the header, UnlockPayload, then
// DecryptAndVerify into memory, or with `halves` DecryptUnverified and
// CheckStoredDigest given SHA-1 of the output. `damage` may make the
// streams fail.
Opening OpenWith(const Bytes& payload, const std::u16string& password,
                 void (*damage)(MemoryStream& in, MemoryStream& out) = nullptr,
                 bool lend = false, bool halves = false) {
  MemoryStream in, out;
  in.data = payload;
  in.lend = lend;
  if (damage) damage(in, out);
  PayloadStream pin = in.Port(), pout = out.Port();
  PasswordBytes pw;
  PayloadHeader h;
  FileKey key;
  int code = ReadPayloadHeader(&pin, &h);
  if (code == kOk) {
    code = PasswordBytesFor(h.format, reinterpret_cast<const uint16_t*>(password.data()),
                            password.size(), &pw);
  }
  if (code == kOk) code = UnlockPayload(h, pw.bytes, pw.length, &key);
  if (code == kOk && !halves) code = DecryptAndVerify(h, key, &pin, &pout);
  if (code == kOk && halves) {
    code = DecryptUnverified(h, key, &pin, &pout);
    if (code == kOk) code = CheckStoredDigest(&pin, Sha1Of(out.data).data());
  }
  return {code, out.data};
}

std::string Open(const Bytes& payload, const std::u16string& password, Bytes* plain = nullptr) {
  Opening o = OpenWith(payload, password);
  if (plain) *plain = o.plain;
  switch (o.code) {
    case kOk: return "ok";
    case kWrongPassword: return "wrong password";
    case kDigestMismatch: return "digest mismatch";
    case kTagMismatch: return "tag mismatch";
    default: return "code " + std::to_string(o.code);
  }
}

TEST(WholePayload, RoundTripsAcrossChunkBoundariesForEveryKeyLength) {
  for (size_t keyBytes : {16u, 24u, 32u}) {
    for (size_t size : {0u, 1u, 1023u, 1024u, 1025u, 16383u, 16384u, 16385u, 65536u, 3u << 20}) {
      SCOPED_TRACE(::testing::Message() << keyBytes << " " << size);
      Bytes content(size);
      for (size_t i = 0; i < size; ++i) content[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
      Bytes payload = testing::MakePayload(u"f.bin", "s\xE9same", keyBytes, content).Serialize();
      Bytes plain;
      ASSERT_EQ(Open(payload, u"s\u00E9same", &plain), "ok");
      EXPECT_EQ(plain, content);
      // A text whose units share those low bytes opens it too.
      EXPECT_EQ(Open(payload, u"s\u01E9same"), "ok");
    }
  }
}

TEST(WholePayload, OutcomesOfDamageAndWrongPasswords) {
  Bytes content(5000, 'q');
  PayloadParts p = testing::MakePayload(u"f.bin", "right", 24, content);
  EXPECT_EQ(Open(p.Serialize(), u"right"), "ok");
  EXPECT_EQ(Open(p.Serialize(), u"wrong"), "wrong password");
  EXPECT_EQ(Open(p.Serialize(), u""), "wrong password");
  EXPECT_EQ(Open(p.Serialize(), u"r\u0100ght"), "code 1003");

  // secondBlock and tailBytes are never used.
  PayloadParts q = p;
  q.secondBlock.assign(24, 0xFF);
  q.tail = {1, 2, 3, 4};
  EXPECT_EQ(Open(q.Serialize(), u"right"), "ok");

  // A flipped cipher text byte or digest byte fails the final comparison.
  for (size_t at : {0u, 1024u, 4999u}) {
    q = p;
    q.cipherText[at] ^= 0x01;
    EXPECT_EQ(Open(q.Serialize(), u"right"), "digest mismatch") << at;
  }
  q = p;
  q.plainDigest[19] ^= 0x80;
  EXPECT_EQ(Open(q.Serialize(), u"right"), "digest mismatch");
  // A damaged keyCheck looks like a wrong password: nothing is decrypted.
  q = p;
  q.keyCheck[0] ^= 1;
  EXPECT_EQ(Open(q.Serialize(), u"right"), "wrong password");
}

// Every way the opening sequence can end, as its callers tell them apart:
// each failure is its own code, and only kOk ever verifies an output, in
// one call or in two halves around the caller's own digest.
TEST(WholePayload, EveryFailureOfTheSequenceIsItsOwnOutcome) {
  Bytes content(40000, 'v');
  PayloadParts p = testing::MakePayload(u"f.bin", "pw", 32, content);
  const Bytes good = p.Serialize();
  struct Case {
    const char* what;
    Bytes payload;
    void (*damage)(MemoryStream& in, MemoryStream& out);
    int code;
  };
  PayloadParts zeroDigest = p;
  zeroDigest.plainDigest.assign(20, 0);
  PayloadParts flipped = p;
  flipped.cipherText[39999] ^= 0x01;
  std::vector<Case> cases = {
      {"intact", good, nullptr, kOk},
      {"a read error in the cipher text", good,
       [](MemoryStream& in, MemoryStream&) { in.readLimit = in.data.size() - 30000; },
       kReadFailed},
      {"the payload ends inside the cipher text", good,
       [](MemoryStream& in, MemoryStream&) {
         in.readLimit = in.data.size() - 30000;
         in.readLimitEnds = true;
       },
       kPayloadDecryptFailed},
      {"the output refuses bytes (a full disk)", good,
       [](MemoryStream&, MemoryStream& out) { out.writeLimit = 20000; }, kOutputFailed},
      {"a read error in the stored digest", good,
       [](MemoryStream& in, MemoryStream&) { in.readLimit = in.data.size() - 10; },
       kReadFailed},
      {"the payload ends inside the stored digest", good,
       [](MemoryStream& in, MemoryStream&) {
         in.readLimit = in.data.size() - 10;
         in.readLimitEnds = true;
       },
       kNoStoredDigest},
      // A failed decryption leaves no digest to compare: a stored digest of
      // twenty zero bytes must not pass it as verified.
      {"a failed read with a stored digest of zeros", zeroDigest.Serialize(),
       [](MemoryStream& in, MemoryStream&) { in.readLimit = in.data.size() - 30000; },
       kReadFailed},
      {"the last cipher text byte flipped", flipped.Serialize(), nullptr, kDigestMismatch},
  };
  for (bool halves : {false, true}) {
    for (bool lend : {false, true}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.what << (lend ? ", lent" : ", read")
                                          << (halves ? ", in halves" : ""));
        Opening o = OpenWith(c.payload, u"pw", c.damage, lend, halves);
        EXPECT_EQ(o.code, c.code);
        if (o.code == kOk) {
          EXPECT_EQ(o.plain, content);
        }
      }
    }
  }
  EXPECT_EQ(OpenWith(good, u"other").code, kWrongPassword);
  EXPECT_TRUE(OpenWith(good, u"other").plain.empty()) << "nothing is decrypted";
}

// Format 2 round-trips passwords in any script, as their UTF-8: Cyrillic,
// CJK starting with U+4E00 (whose low byte is zero: in format 1 it would
// end the password bytes), emoji as surrogate pairs; and two texts that
// share their low bytes, one password in format 1, are two here.
TEST(Format2, RoundTripsPasswordsInAnyScriptAndAcrossChunks) {
  const struct {
    const char16_t* password;
    size_t size;
  } cases[] = {
      {u"пароль", 0},  // пароль
      {u"一二三四", 16385},           // 一二三四, across the 16 KiB chunk
      {u"🔑 🗝️", 1},          // key emoji
      {u"sésame", 40000},
  };
  for (const auto& c : cases) {
    Bytes content(c.size);
    for (size_t i = 0; i < c.size; ++i) content[i] = static_cast<uint8_t>(i * 13 + 5);
    Bytes payload = testing::MakePayload2(u"f.bin", c.password, content);
    ASSERT_FALSE(payload.empty());
    Bytes plain;
    EXPECT_EQ(Open(payload, c.password, &plain), "ok");
    EXPECT_EQ(plain, content);
  }
  Bytes payload = testing::MakePayload2(u"f.bin", u"sésame", Bytes(10, 'c'));
  EXPECT_EQ(Open(payload, u"sǩsame"), "wrong password");
  EXPECT_EQ(Open(payload, u"sesame"), "wrong password");
  EXPECT_EQ(Open(payload, u""), "wrong password");
  // Texts that are not well-formed are refused before any key is derived,
  // a processing failure, not a wrong password.
  for (const std::u16string& bad :
       {std::u16string(u"a") + char16_t(0xD800) + u"b", std::u16string(1, char16_t(0xDC00)),
        std::u16string(u"a\0b", 3), std::u16string(255, u'k')}) {
    EXPECT_EQ(Open(payload, bad), "code " + std::to_string(kPasswordNotText));
  }
  EXPECT_EQ(Open(testing::MakePayload2(u"f.bin", std::u16string(254, u'一'), Bytes(3, 'c')),
                 std::u16string(254, u'一')),
            "ok")
      << "the longest password, 762 bytes of UTF-8";
}

// One flipped byte anywhere is refused, and nothing passes as verified:
// in the fixed fields as malformed (or, where the value stays in range, as
// a wrong key), in the fields that make the key as a wrong password, in the
// name, the content IV, the cipher text and the tag by the tag.
TEST(Format2, EveryFlippedByteIsRefused) {
  const Bytes good = testing::MakePayload2(u"f.bin", u"pw", Bytes(40, 'q'));
  const size_t name = kFormat2NameOffset, keyIv = name + 10, wrapped = keyIv + 16,
               check = wrapped + 32, contentIv = check + 32, cipher = contentIv + 16,
               tag = cipher + 40;
  ASSERT_EQ(good.size(), tag + kTagBytes);
  struct Flip {
    size_t at;
    uint8_t bit;
    const char* outcome;
  };
  const Flip flips[] = {
      {0, 0x01, "code 1402"},  {3, 0x80, "code 1402"},         // signature
      {4, 0x01, "code 1408"},  {7, 0x80, "code 1408"},         // version
      {8, 0x02, "code 1409"},  {11, 0x80, "code 1409"},        // kdf
      {12, 0x01, "wrong password"}, {15, 0x01, "code 1410"},   // iterations
      {16, 0x01, "wrong password"}, {31, 0x80, "wrong password"},  // salt
      {32, 0x01, "code 1411"}, {35, 0x80, "code 1403"},        // nameBytes
      // The name: "g.bin", then U+2066 (an invisible isolate), then U+016E.
      {name, 0x01, "tag mismatch"}, {name + 1, 0x20, "code 1405"},
      {name + 9, 0x01, "tag mismatch"},
      {keyIv, 0x01, "wrong password"}, {keyIv + 15, 0x80, "wrong password"},
      {wrapped, 0x01, "wrong password"}, {wrapped + 31, 0x80, "wrong password"},
      {check, 0x01, "wrong password"}, {check + 31, 0x80, "wrong password"},
      {contentIv, 0x01, "tag mismatch"}, {contentIv + 15, 0x80, "tag mismatch"},
      {cipher, 0x01, "tag mismatch"}, {cipher + 20, 0x10, "tag mismatch"},
      {cipher + 39, 0x80, "tag mismatch"},
      {tag, 0x01, "tag mismatch"}, {tag + 31, 0x80, "tag mismatch"},
  };
  for (const Flip& f : flips) {
    Bytes bad = good;
    bad[f.at] ^= f.bit;
    EXPECT_EQ(Open(bad, u"pw"), f.outcome) << "byte " << f.at;
  }
  EXPECT_EQ(Open(good, u"pw"), "ok");
}

// The cost is bounded before any key is derived: a crafted header asking
// for four billion iterations is refused by the reader, and the derivation
// refuses such a header too, whoever calls it.
TEST(Format2, AnAbsurdCostIsRefusedBeforeAnyDerivation) {
  Bytes payload = testing::MakePayload2(u"f.bin", u"pw", Bytes(10, 'c'));
  testing::SetUint32(payload, 12, 4000000000u);
  EXPECT_EQ(Open(payload, u"pw"), "code " + std::to_string(kBadCost));
  PayloadHeader h = {};
  h.format = 2;
  h.iterations = 4000000000u;
  FileKey key;
  EXPECT_EQ(UnlockPayload(h, reinterpret_cast<const unsigned char*>("pw"), 2, &key), kBadCost);
}

// Payloads made outside this code (hashlib, hmac and `openssl enc`, by the
// fuzz corpus script) open byte for byte through the platform's provider:
// CNG under Wine, OpenSSL on the host.
TEST(WholePayload, OpensTheIndependentlyMadeCorpus) {
  const char* dir = getenv("ORX_PAYLOAD_CORPUS");
  ASSERT_NE(dir, nullptr) << "ORX_PAYLOAD_CORPUS names the fuzz corpus";
  std::string folder = dir;
#if defined(_WIN32)
  folder = "Z:" + folder;  // Wine's drive for the Linux root
#endif
  std::vector<std::pair<std::string, size_t>> seeds;
  for (int bits : {128, 192, 256}) {
    for (size_t size : {0u, 1u, 1023u, 1024u, 1025u}) {
      seeds.push_back({"valid-" + std::to_string(bits) + "-" + std::to_string(size), size});
    }
  }
  seeds.push_back({"valid-256-16400", 16400});  // across the 16 KiB chunk
  for (size_t size : {0u, 1u, 16400u}) seeds.push_back({"v2-valid-" + std::to_string(size), size});
  for (const auto& seed : seeds) {
    std::ifstream file(folder + "/" + seed.first, std::ios::binary);
    ASSERT_TRUE(file) << seed.first;
    Bytes payload((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Bytes expected(seed.second), plain;
    for (size_t i = 0; i < seed.second; ++i) expected[i] = static_cast<uint8_t>((i * 7) & 0xFF);
    EXPECT_EQ(Open(payload, u"fuzz", &plain), "ok") << seed.first;
    EXPECT_EQ(plain, expected) << seed.first;
  }
  std::ifstream tampered(folder + "/v2-tag-flipped", std::ios::binary);
  Bytes payload((std::istreambuf_iterator<char>(tampered)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Open(payload, u"fuzz"), "tag mismatch");
}

}  // namespace
}  // namespace orx::payload
