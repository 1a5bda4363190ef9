// The header reader's order of checks and refusals, and the stored-name rule.
#include "payload/payload_header.h"

#include <gtest/gtest.h>

#include "memory_stream.h"
#include "payload/payload_crypto.h"
#include "payload_builder.h"

namespace orx::payload {
namespace {

using testing::Bytes;
using testing::MemoryStream;
using testing::PayloadParts;

struct ReadResult {
  int code;
  PayloadHeader header;
  int64_t position;    // where the reader left the stream
  size_t bytesRead;    // how far it read
};

ReadResult Read(const Bytes& bytes) {
  MemoryStream s;
  s.data = bytes;
  PayloadStream port = s.Port();
  ReadResult r{};
  r.code = ReadPayloadHeader(&port, &r.header);
  r.position = s.position;
  r.bytesRead = s.delivered;
  return r;
}

PayloadParts Sample(size_t keyBytes = 32, size_t contentBytes = 10) {
  return testing::MakePayload(u"report.pdf", "pw", keyBytes, Bytes(contentBytes, 'x'));
}

TEST(PayloadHeaderReader, ReadsEveryFieldAndMeasuresTheCipherText) {
  for (size_t n : {16u, 24u, 32u}) {
    PayloadParts p = Sample(n, 77);
    ReadResult r = Read(p.Serialize());
    ASSERT_EQ(r.code, kOk) << n;
    EXPECT_EQ(r.header.keyBytes, n);
    EXPECT_EQ(r.header.nameBytes, 20u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(r.header.fileName)),
              u"report.pdf");
    EXPECT_EQ(Bytes(r.header.keyCheck, r.header.keyCheck + 20), p.keyCheck);
    EXPECT_EQ(Bytes(r.header.wrappedKey, r.header.wrappedKey + n), p.wrappedKey);
    EXPECT_EQ(r.header.headerEnd, static_cast<int64_t>(32 + 20 + 2 * n));
    EXPECT_EQ(r.position, r.header.headerEnd);  // left at the cipher text
    EXPECT_EQ(r.header.cipherBytes, 77);
  }
}

TEST(PayloadHeaderReader, SignatureIsTestedRightAfterItsRead) {
  struct Case { uint32_t signature; bool accepted; };
  // Byte 0: bit 0 set and bit 4 clear; the other bits are free.
  const Case cases[] = {{0xF8EBD601u, true},  {0xF8EBD603u, true},  {0xF8EBD6EFu, true},
                        {0xF8EBD611u, false}, {0xF8EBD600u, false}, {0xF8EBD701u, false},
                        {0x00000001u, false}, {0xF9EBD601u, false}};
  for (const Case& c : cases) {
    PayloadParts p = Sample();
    p.signature = c.signature;
    ReadResult r = Read(p.Serialize());
    if (c.accepted) {
      EXPECT_EQ(r.code, kOk) << std::hex << c.signature;
    } else {
      EXPECT_EQ(r.code, kBadSignature) << std::hex << c.signature;
      EXPECT_EQ(r.bytesRead, 4u);
    }
  }
  EXPECT_EQ(Read(Bytes{}).code, kHeaderTruncated);  // an empty payload file
  EXPECT_EQ(Read(Bytes{0x01, 0xD6, 0xEB}).code, kHeaderTruncated);
}

TEST(PayloadHeaderReader, KeyBytesRefusedBeforeItsBlocksAreRead) {
  for (uint32_t bad : {0u, 8u, 20u, 64u, 0xFFFFFFFFu}) {
    PayloadParts p = Sample();
    p.keyBytes = bad;
    ReadResult r = Read(p.Serialize());
    EXPECT_EQ(r.code, kBadKeyBytes) << bad;
    EXPECT_EQ(r.bytesRead, 8u + 20u + 4u) << bad;  // nothing after keyBytes
  }
}

TEST(PayloadHeaderReader, NameLengthLimitAndOddLength) {
  PayloadParts p = Sample();
  p.name.assign(2048, 'a');
  ReadResult r = Read(p.Serialize());
  EXPECT_EQ(r.code, kNameTooLong);
  EXPECT_EQ(r.bytesRead, 8u);  // refused before the name is read

  // An odd length drops the last byte: "ab" plus a stray byte.
  p.name = testing::Utf16Le(u"ab");
  p.name.push_back('Z');
  r = Read(p.Serialize());
  ASSERT_EQ(r.code, kOk);
  EXPECT_EQ(r.header.nameUnits, 2u);
  EXPECT_EQ(r.header.fileName[0], 'a');
  EXPECT_EQ(r.header.fileName[1], 'b');
  EXPECT_EQ(r.header.fileName[2], 0);

  // 2,046 bytes (1,023 units) is the largest name read at all; it is then
  // refused by the name rule (over 255 units), not by the buffer.
  p.name.assign(2046, 'a');
  EXPECT_EQ(Read(p.Serialize()).code, kBadStoredName);
}

TEST(PayloadHeaderReader, TruncatedAndTooShortPayloads) {
  Bytes whole = Sample(24, 0).Serialize();
  // Every cut inside the header is a short read.
  const size_t header = whole.size() - 24;
  for (size_t cut = 0; cut < header; ++cut) {
    EXPECT_EQ(Read(Bytes(whole.begin(), whole.begin() + cut)).code, kHeaderTruncated) << cut;
  }
  // A whole header without room for the 24 trailing bytes is refused before
  // any decryption; exactly 24 bytes give an empty cipher text.
  for (size_t cut = header; cut < header + 24; ++cut) {
    EXPECT_EQ(Read(Bytes(whole.begin(), whole.begin() + cut)).code, kPayloadTooShort) << cut;
  }
  ReadResult r = Read(whole);
  EXPECT_EQ(r.code, kOk);
  EXPECT_EQ(r.header.cipherBytes, 0);
}

TEST(PayloadHeaderReader, StoredNameThatIsNotAPlainFileNameIsMalformed) {
  PayloadParts p = Sample();
  p.name = testing::Utf16Le(u"..\\..\\evil.exe");
  EXPECT_EQ(Read(p.Serialize()).code, kBadStoredName);
  p.name.clear();
  EXPECT_EQ(Read(p.Serialize()).code, kBadStoredName);
}

bool Plain(const std::u16string& name) {
  return IsPlainFileName(reinterpret_cast<const uint16_t*>(name.data()), name.size());
}

TEST(StoredNameRule, AcceptsPlainNames) {
  for (const char16_t* ok :
       {u"a", u"report.pdf", u"Résumé 2024.docx", u"中文.txt", u".hidden", u"a..b", u"CONSOLE",
        u"COM10", u"LPT0", u"nul1.txt", u"my con.txt", u"x.CON", u"...a"}) {
    EXPECT_TRUE(Plain(ok)) << std::string(ok, ok + std::char_traits<char16_t>::length(ok));
  }
  EXPECT_TRUE(Plain(std::u16string(255, u'n')));
}

TEST(StoredNameRule, RefusesPathsDevicesAndOddEndings) {
  for (const char16_t* bad :
       {u"", u".", u"..", u"a/b", u"..\\x", u"C:x", u"f:stream", u"a*", u"a?", u"a\"b", u"<a",
        u"a>", u"a|b", u"name.", u"name ", u"CON", u"con", u"Prn.txt", u"AUX.tar.gz",
        u"nul", u"COM1", u"com9.log", u"LPT1", u"lpt5.txt", u"CON .txt", u"COM\u00B9",
        u"lpt\u00B2.txt", u"\tname", u"a\u001Fb",
        // Controls that reorder or hide what a reader sees: "inv\u202Efdp.exe"
        // shows as "invexe.pdf". C1 controls, bidirectional marks,
        // embeddings, overrides and isolates.
        u"inv\u202Efdp.exe", u"a\u2066b", u"a\u0085b", u"a\u0080", u"a\u009F", u"a\u200Eb",
        u"a\u200Fb", u"\u202Aa", u"a\u202Bb", u"a\u202Cb", u"a\u202Db", u"a\u2067b", u"a\u2068b",
        u"a\u2069b", u"a\u061Cb"}) {
    EXPECT_FALSE(Plain(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_FALSE(Plain(std::u16string(256, u'n')));
  const uint16_t withZero[] = {'a', 0, 'b'};
  EXPECT_FALSE(IsPlainFileName(withZero, 3));
  EXPECT_FALSE(IsPlainFileName(nullptr, 1));
}

}  // namespace
}  // namespace orx::payload
