// The header reader's order of checks and refusals, for both formats.
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

ReadResult Read(const Bytes& bytes, size_t readLimit = SIZE_MAX) {
  MemoryStream s;
  s.data = bytes;
  s.readLimit = readLimit;
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

// The writer gives back the bytes the reader read, for every key length;
// fields no reader takes give no header at all.
TEST(PayloadHeaderWriter, WritesWhatTheReaderReads) {
  unsigned char out[kMaxHeaderBytes];
  for (size_t n : {16u, 24u, 32u}) {
    const Bytes whole = Sample(n, 5).Serialize();
    ReadResult r = Read(whole);
    ASSERT_EQ(r.code, kOk) << n;
    size_t size = WritePayloadHeader(r.header, out);
    EXPECT_EQ(Bytes(out, out + size), Bytes(whole.begin(), whole.begin() + r.header.headerEnd))
        << n;
  }
  const ReadResult sample = Read(Sample().Serialize());
  struct Refusal {
    const char* what;
    void (*spoil)(PayloadHeader& h);
  };
  const Refusal refusals[] = {
      {"signature", [](PayloadHeader& h) { h.signature ^= 0x10; }},
      {"key length", [](PayloadHeader& h) { h.keyBytes = 20; }},
      {"stored name", [](PayloadHeader& h) { h.fileName[0] = '/'; }},
      {"name length", [](PayloadHeader& h) { h.nameUnits = kMaxNameBytes / 2 + 1; }},
  };
  for (const Refusal& refusal : refusals) {
    PayloadHeader h = sample.header;
    refusal.spoil(h);
    EXPECT_EQ(WritePayloadHeader(h, out), 0u) << refusal.what;
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
  // Every cut inside the header is a short read; a read error there is not.
  const size_t header = whole.size() - 24;
  for (size_t cut = 0; cut < header; ++cut) {
    EXPECT_EQ(Read(Bytes(whole.begin(), whole.begin() + cut)).code, kHeaderTruncated) << cut;
    EXPECT_EQ(Read(whole, cut).code, kReadFailed) << cut;
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

// Format 2: every field read, the bytes kept for the tag, and each field
// refused as soon as it is read: the fixed fields (the cost among them)
// before the name, long before any key is derived.
TEST(PayloadHeaderReader, Format2FieldsAndTheirRefusals) {
  const Bytes good = testing::MakePayload2(u"report.pdf", u"pw", Bytes(77, 'x'));
  const size_t header = kFormat2FixedBytes + 20;
  ReadResult r = Read(good);
  ASSERT_EQ(r.code, kOk);
  EXPECT_EQ(r.header.format, 2u);
  EXPECT_EQ(r.header.iterations, kMinIterations);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(r.header.fileName)), u"report.pdf");
  EXPECT_EQ(r.header.headerEnd, static_cast<int64_t>(header));
  EXPECT_EQ(r.header.cipherBytes, 77);
  EXPECT_EQ(Bytes(r.header.raw, r.header.raw + r.header.rawBytes),
            Bytes(good.begin(), good.begin() + header));
  EXPECT_EQ(Bytes(good.begin(), good.begin() + 4), (Bytes{'O', 'R', 'X', 'P'}));
  EXPECT_FALSE(IsPayloadSignature(kFormat2Signature)) << "a format-1 reader refuses it";
  // The writer gives back the bytes read, and writes no cost readers refuse.
  unsigned char out[kMaxHeaderBytes];
  EXPECT_EQ(Bytes(out, out + WritePayloadHeader(r.header, out)),
            Bytes(good.begin(), good.begin() + header));
  PayloadHeader costly = r.header;
  costly.iterations = kMaxIterations + 1;
  EXPECT_EQ(WritePayloadHeader(costly, out), 0u);

  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    int code;
  };
  const Case cases[] = {
      {"version 1", 4, 1, kBadVersion},
      {"version 3", 4, 3, kBadVersion},
      {"kdf 0", 8, 0, kBadKdf},
      {"kdf 2", 8, 2, kBadKdf},
      {"cost below the minimum", 12, kMinIterations - 1, kBadCost},
      {"cost above the maximum", 12, kMaxIterations + 1, kBadCost},
      {"cost of four billion", 12, 4000000000u, kBadCost},
      {"odd nameBytes", 32, 19, kOddNameBytes},
      {"nameBytes above 2,046", 32, 2048, kNameTooLong},
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    testing::SetUint32(bad, c.offset, c.value);
    ReadResult rr = Read(bad);
    EXPECT_EQ(rr.code, c.code) << c.what;
    EXPECT_EQ(rr.bytesRead, kFormat2NameOffset) << c.what << ": refused before the name";
  }
  Bytes bad = good;
  bad[kFormat2NameOffset] = '/';
  EXPECT_EQ(Read(bad).code, kBadStoredName);
  testing::SetUint32(bad, 32, 2046);  // a name longer than what is left
  EXPECT_EQ(Read(bad).code, kHeaderTruncated);
  for (size_t cut = 0; cut < header; ++cut) {
    EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + cut)).code, kHeaderTruncated) << cut;
  }
  // No room for the 32-byte tag: refused before any decryption.
  for (size_t cut = header; cut < header + kTagBytes; ++cut) {
    EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + cut)).code, kPayloadTooShort) << cut;
  }
}

}  // namespace
}  // namespace orx::payload
