// The stored-name rule: each class of character and name it refuses, the
// names it must still let through, and its table, range by range.
#include "payload/stored_name.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

namespace orx::payload {
namespace {

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
    {"zero-width non-joiner between ASCII", u"a\u200Cb", false},
    {"zero-width joiner between ASCII", u"a\u200Db", false},
    {"ZWNJ after a letter that does not join the next", u"\u0631\u200C\u0647.pdf", false},
    {"ZWNJ first", u"\u200C\u0647.pdf", false},
    {"ZWNJ last", u"\u0634\u200C", false},
    {"ZWNJ before ASCII", u"\u0634\u200C.pdf", false},
    {"ZWNJ after a virama, before ASCII", u"\u0915\u094D\u200Ca", false},
    {"two ZWNJ", u"\u0634\u200C\u200C\u0647.pdf", false},
    {"ZWJ between joining letters", u"\u0634\u200D\u0647.pdf", false},
    {"ZWJ from an emoji to ASCII", u"\U0001F436\u200Da.png", false},
    {"ZWJ after a blank", u"\U0001F436 \u200D\U0001F431.png", false},
    {"two ZWJ between emoji", u"\U0001F468\u200D\u200D\U0001F469.png", false},
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
    {"internet shortcut", u"invoice.url", false},
    {"shortcut", u"Report.LNK", false},
    {"shell command file", u"photos.scf", false},
    {"shell command file with a long s", u"photos.\u017Fcf", false},
    {"library", u"Documents.library-ms", false},
    {"search connector", u"Find.searchConnector-ms", false},
    {"selector after a letter", u"1\uFE00.txt", false},

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
    {"keycap", u"1\uFE0F\u20E3 notes.txt", true},
    {"text form of #", u"#\uFE0E.txt", true},
    {"Persian plural with ZWNJ", u"\u06AF\u0632\u0627\u0631\u0634\u200C\u0647\u0627.pdf", true},
    {"ZWNJ with marks on both sides", u"\u0634\u064E\u200C\u0651\u0647.pdf", true},
    {"Devanagari ZWNJ after a virama", u"\u0915\u094D\u200C\u0937.txt", true},
    {"Devanagari ZWJ after a virama", u"\u0915\u094D\u200D\u0937.txt", true},
    {"Sinhala conjunct with ZWJ", u"\u0DC1\u0DCA\u200D\u0DBB\u0DD3.txt", true},
    {"emoji family", u"\U0001F468\u200D\U0001F469\u200D\U0001F467.png", true},
    {"emoji with a skin tone", u"\U0001F9D1\U0001F3FD\u200D\U0001F4BB.png", true},
    {"emoji with its selector", u"\U0001F3F3\uFE0F\u200D\U0001F308.png", true},
    {"one blank inside", u"my report.pdf", true},
    {"two blanks inside", u"my  report.pdf", true},
    {"two kinds of blank inside", u"100\u00A0km \u2003log.txt", true},
    {"leading dot (the tool decides)", u".hidden", true},
    {"dots inside", u"a..b", true},
    {"dots first", u"...a", true},
    {"longer than desktop.ini", u"desktop.ini.txt", true},
    {"almost autorun.inf", u"autorun.ini", true},
    {"a shortcut's name inside", u"url.lnk.txt", true},
    {"the type alone as a name", u"url", true},
    {"device-like words", u"CONSOLE", true},
    {"COM10", u"COM10", true},
    {"CONIN", u"CONIN", true},
    {"fullwidth letters and equals", u"\uFF21\uFF1D\uFF42.txt", true},
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
        case NameCharKind::kJoiner:
          EXPECT_TRUE(Plain(With(u"\u0915\u094D", cp, u"\u0937.txt")));
          EXPECT_FALSE(Plain(With(u"a", cp, u"b.txt")));
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

// The generated classes a joiner's neighbours are looked up in, at a few
// known code points, the ends of planes 0 and 1 included.
TEST(StoredNameRule, ContextsOfJoinersNeighbours) {
  const struct {
    uint32_t cp;
    NameContext context;
  } kKnown[] = {
      {'a', NameContext::kNone},           {0x0634, NameContext::kDualJoining},
      {0x0631, NameContext::kRightJoining}, {0x064E, NameContext::kTransparent},
      {0x094D, NameContext::kVirama},      {0x0DCA, NameContext::kVirama},
      {0xA872, NameContext::kLeftJoining}, {0x1E900, NameContext::kDualJoining},
      {0x00A9, NameContext::kEmoji},       {0x1F600, NameContext::kEmoji},
      {0x1F3FB, NameContext::kEmojiModifier}, {0x1F3FF, NameContext::kEmojiModifier},
      {0x0300, NameContext::kNone},        {0xFFFF, NameContext::kNone},
      {0x1FFFD, NameContext::kEmoji},      {0x20000, NameContext::kNone},
  };
  for (const auto& k : kKnown) {
    EXPECT_EQ(ContextOf(k.cp), k.context) << std::hex << "U+" << k.cp;
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
      {u"a\u200Cb.txt", NameFault::kStrayJoiner, 1},
      {u"what?.txt", NameFault::kReservedChar, 4},
      {u"ratio\u2215x", NameFault::kReservedChar, 5},
      {u"name.", NameFault::kTrailingDot, 0},
      {u"name\u00A0", NameFault::kTrailingBlank, 0},
      {u"CON .txt", NameFault::kDeviceName, 0},
      {u"autorun.inf", NameFault::kShellName, 0},
      {u"report.LNK", NameFault::kShellName, 0},
      // The first fault in the name's order: the control before the colon.
      {u"a\tb:c", NameFault::kHiddenChar, 1},
      {u"R\u00E9sum\u00E9.pdf", NameFault::kNone, 0},
  };
  for (const auto& row : rows) {
    size_t at = 0;
    const auto* units = reinterpret_cast<const uint16_t*>(row.name.data());
    EXPECT_EQ(FindNameFault(units, row.name.size(), &at), row.fault) << Shown(row.name);
    if (row.fault == NameFault::kHiddenChar || row.fault == NameFault::kBlankRun ||
        row.fault == NameFault::kStraySelector || row.fault == NameFault::kStrayJoiner ||
        row.fault == NameFault::kReservedChar) {
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
        u"lpt\u00B2.txt", u"COM0", u"lpt0.txt", u"CONIN$", u"conout$.txt", u"CONOUT$ ",
        // The look-alikes of the forbidden characters.
        u"a\uFF02b", u"a\uFF0Ab", u"a\uFF0Fb", u"a\uFF1Ab", u"a\uFF1Cb", u"a\uFF1Eb",
        u"a\uFF1Fb", u"a\uFF3Cb", u"a\uFF5Cb", u"a\u2215b", u"a\u2044b"}) {
    EXPECT_FALSE(Plain(bad)) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
  }
  EXPECT_FALSE(Plain(std::u16string(256, u'n')));
  const uint16_t withZero[] = {'a', 0, 'b'};
  EXPECT_FALSE(IsPlainFileName(withZero, 3));
  EXPECT_FALSE(IsPlainFileName(nullptr, 1));
}

}  // namespace
}  // namespace orx::payload
