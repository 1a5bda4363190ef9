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

bool Plain(const std::u16string& name) {
  return IsPlainFileName(reinterpret_cast<const uint16_t*>(name.data()), name.size());
}

// A name with the code point `cp` (UTF-16, paired when above U+FFFF)
// between `before` and `after`.
std::u16string With(const std::u16string& before, uint32_t cp, const std::u16string& after) {
  std::u16string s = before;
  if (cp > 0xFFFF) {
    s += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    s += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    s += static_cast<char16_t>(cp);
  }
  return s + after;
}

std::string Shown(const std::u16string& name) {
  std::string out;
  for (char16_t c : name) {
    char hex[8];
    snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F ? "%c" : "<%04X>", static_cast<unsigned>(c));
    out += hex;
  }
  return out;
}

struct NameRow {
  const char* why;
  std::u16string name;
  bool plain;
};

// One row for each class of the rule, then the names that must still pass.
const NameRow kNameRows[] = {
    {"C0 control", u"\tname", false},
    {"C0 control inside", u"a\u001Fb", false},
    {"DEL", u"a\u007Fb", false},
    {"C1 control (next line)", u"a\u0085b", false},
    {"C1 first", u"a\u0080", false},
    {"C1 last", u"a\u009Fb", false},
    {"soft hyphen", u"re\u00ADport.pdf", false},
    {"combining grapheme joiner", u"a\u034Fb", false},
    {"Arabic letter mark", u"a\u061Cb", false},
    {"Hangul choseong filler", u"a\u115Fb", false},
    {"Hangul jungseong filler", u"a\u1160b", false},
    {"Khmer inherent vowel", u"a\u17B4b", false},
    {"Mongolian vowel separator", u"a\u180Eb", false},
    {"zero-width space", u"report\u200B.pdf", false},
    {"zero-width non-joiner", u"a\u200Cb", false},
    {"zero-width joiner", u"a\u200Db", false},
    {"left-to-right mark", u"a\u200Eb", false},
    {"right-to-left mark", u"a\u200Fb", false},
    {"line separator", u"a\u2028b", false},
    {"paragraph separator", u"a\u2029b", false},
    {"right-to-left override", u"inv\u202Efdp.exe", false},
    {"left-to-right embedding", u"\u202Aa", false},
    {"word joiner", u"a\u2060b", false},
    {"invisible times", u"a\u2062b", false},
    {"invisible plus", u"a\u2064b", false},
    {"first strong isolate", u"a\u2068b", false},
    {"pop directional isolate", u"a\u2069b", false},
    {"deprecated format control", u"a\u206Ab", false},
    {"Hangul filler", u"\u3164", false},
    {"halfwidth Hangul filler", u"a\uFFA0b", false},
    {"byte order mark", u"\uFEFFreport.pdf", false},
    {"reserved ignorable", u"a\uFFF0b", false},
    {"shorthand format control", u"a\U0001BCA0b", false},
    {"musical format control", u"a\U0001D173b", false},
    {"tag letter", u"report.pdf\U000E0065\U000E0078\U000E0065", false},
    {"unpaired high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", false},
    {"unpaired high surrogate last", std::u16string(u"a") + char16_t(0xDBFF), false},
    {"unpaired low surrogate", std::u16string(1, char16_t(0xDC00)) + u"b", false},
    {"surrogates in the wrong order",
     std::u16string(u"a") + char16_t(0xDC00) + char16_t(0xD800) + u"b", false},
    {"variation selector after ASCII", u"a\uFE0F.txt", false},
    {"variation selector first", u"\uFE0Ea.txt", false},
    {"variation selector after a blank", u"\u4E2D \uFE00.txt", false},
    {"two variation selectors", u"\u2764\uFE0F\uFE0F.txt", false},
    {"leading space", u" report.pdf", false},
    {"leading no-break space", u"\u00A0report.pdf", false},
    {"leading ideographic space", u"\u3000report.pdf", false},
    {"three spaces", u"a   b", false},
    {"three mixed blanks", u"a \u00A0\u2003b", false},
    {"extension pushed out of view",
     u"statement.pdf" + std::u16string(60, u' ') + u".exe", false},
    {"trailing no-break space", u"report.exe\u00A0", false},
    {"desktop.ini", u"desktop.ini", false},
    {"Desktop.INI", u"Desktop.INI", false},
    {"autorun.inf", u"AutoRun.inf", false},
    {"autorun.inf with a dotless i", u"autorun.\u0131nf", false},
    {"desktop.ini with a long s", u"de\u017Fktop.ini", false},

    {"plain", u"report.pdf", true},
    {"one letter", u"a", true},
    {"accents", u"R\u00E9sum\u00E9 2024.docx", true},
    {"CJK", u"\u4E2D\u6587.txt", true},
    {"Cyrillic", u"\u041E\u0442\u0447\u0451\u0442.xlsx", true},
    {"Arabic", u"\u062A\u0642\u0631\u064A\u0631.pdf", true},
    {"Hangul", u"\uBCF4\uACE0\uC11C.hwp", true},
    {"emoji as a surrogate pair", u"party \U0001F389.png", true},
    {"emoji with its presentation selector", u"\u2764\uFE0F notes.txt", true},
    {"ideograph with its variation", u"\u845B\U000E0100\u57CE.txt", true},
    {"one blank inside", u"my report.pdf", true},
    {"two blanks inside", u"my  report.pdf", true},
    {"two kinds of blank inside", u"100\u00A0km \u2003log.txt", true},
    {"leading dot (the tool decides)", u".hidden", true},
    {"dots inside", u"a..b", true},
    {"dots first", u"...a", true},
    {"longer than desktop.ini", u"desktop.ini.txt", true},
    {"almost autorun.inf", u"autorun.ini", true},
    {"device-like words", u"CONSOLE", true},
    {"COM10", u"COM10", true},
    {"LPT0", u"LPT0", true},
    {"nul1.txt", u"nul1.txt", true},
    {"my con.txt", u"my con.txt", true},
    {"x.CON", u"x.CON", true},
    {"255 units", std::u16string(255, u'n'), true},
};

TEST(StoredNameRule, EachClassOfCharacterAndName) {
  for (const NameRow& row : kNameRows) {
    EXPECT_EQ(Plain(row.name), row.plain) << row.why << ": " << Shown(row.name);
  }
  // Every range of the table, at both ends, behaves as its class says, so a
  // row added to the table is tested too.
  for (size_t i = 0; i < kNameCharTableSize; ++i) {
    const NameCharRange& r = kNameCharTable[i];
    ASSERT_LE(r.first, r.last);
    if (i > 0) {
      ASSERT_LT(kNameCharTable[i - 1].last, r.first) << "sorted, not overlapping";
    }
    for (uint32_t cp : {r.first, r.last}) {
      SCOPED_TRACE(::testing::Message() << "U+" << std::hex << cp);
      EXPECT_EQ(ClassifyNameChar(cp), r.kind);
      switch (r.kind) {
        case NameCharKind::kRefused:
          EXPECT_FALSE(Plain(With(u"a", cp, u"b.txt")));
          break;
        case NameCharKind::kBlank:
          EXPECT_TRUE(Plain(With(u"a", cp, u"b.txt")));
          EXPECT_FALSE(Plain(With(u"", cp, u"b.txt")));
          EXPECT_FALSE(Plain(With(u"a.txt", cp, u"")));
          EXPECT_FALSE(Plain(With(With(u"a ", cp, u""), cp, u"b.txt")));
          break;
        case NameCharKind::kSelector:
          EXPECT_TRUE(Plain(With(u"\u845B", cp, u".txt")));
          EXPECT_FALSE(Plain(With(u"a", cp, u".txt")));
          break;
        case NameCharKind::kOrdinary:
          ADD_FAILURE() << "the table lists only special classes";
          break;
      }
    }
  }
  // Just outside a few ranges the characters are ordinary.
  for (uint32_t cp : {0x7Eu, 0xA1u, 0x2027u, 0x2070u, 0xFFF9u}) {
    SCOPED_TRACE(::testing::Message() << "U+" << std::hex << cp);
    EXPECT_NE(ClassifyNameChar(cp), NameCharKind::kRefused);
  }
}

// The fault a tool names for a refused name: the first one met, and where.
TEST(StoredNameRule, NamesTheFaultItFinds) {
  const struct {
    std::u16string name;
    NameFault fault;
    size_t at;  // checked for the faults of one character
  } rows[] = {
      {u"", NameFault::kLength, 0},
      {std::u16string(256, u'n'), NameFault::kLength, 0},
      {u"inv\u202Efdp.exe", NameFault::kHiddenChar, 3},
      {u"a\U000E0041.txt", NameFault::kHiddenChar, 1},
      {u" lead.txt", NameFault::kLeadingBlank, 0},
      {u"a b  c   d", NameFault::kBlankRun, 8},
      {u"a\uFE0F.txt", NameFault::kStraySelector, 1},
      {u"what?.txt", NameFault::kReservedChar, 4},
      {u"name.", NameFault::kTrailingDot, 0},
      {u"name\u00A0", NameFault::kTrailingBlank, 0},
      {u"CON .txt", NameFault::kDeviceName, 0},
      {u"autorun.inf", NameFault::kShellName, 0},
      // The first fault in the name's order: the control before the colon.
      {u"a\tb:c", NameFault::kHiddenChar, 1},
      {u"R\u00E9sum\u00E9.pdf", NameFault::kNone, 0},
  };
  for (const auto& row : rows) {
    size_t at = 0;
    const auto* units = reinterpret_cast<const uint16_t*>(row.name.data());
    EXPECT_EQ(FindNameFault(units, row.name.size(), &at), row.fault) << Shown(row.name);
    if (row.fault == NameFault::kHiddenChar || row.fault == NameFault::kBlankRun ||
        row.fault == NameFault::kStraySelector || row.fault == NameFault::kReservedChar) {
      EXPECT_EQ(at, row.at) << Shown(row.name);
    }
    EXPECT_EQ(Plain(row.name), row.fault == NameFault::kNone);
  }
}

TEST(StoredNameRule, RefusesPathsDevicesAndOddEndings) {
  for (const char16_t* bad :
       {u"", u".", u"..", u"a/b", u"..\\x", u"C:x", u"f:stream", u"a*", u"a?", u"a\"b", u"<a",
        u"a>", u"a|b", u"name.", u"name ", u"CON", u"con", u"Prn.txt", u"AUX.tar.gz",
        u"nul", u"COM1", u"com9.log", u"LPT1", u"lpt5.txt", u"CON .txt", u"COM\u00B9",
        u"lpt\u00B2.txt"}) {
    EXPECT_FALSE(Plain(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_FALSE(Plain(std::u16string(256, u'n')));
  const uint16_t withZero[] = {'a', 0, 'b'};
  EXPECT_FALSE(IsPlainFileName(withZero, 3));
  EXPECT_FALSE(IsPlainFileName(nullptr, 1));
}

}  // namespace
}  // namespace orx::payload
