#include "payload/stored_name.h"

namespace orx::payload {

namespace {

uint16_t Upper(uint16_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (and the superscript forms Windows
// also reserves), compared on the part before the first dot with trailing
// blanks removed, as Windows does when it maps a name to a device.
[[gnu::always_inline]] inline bool IsDeviceName(const uint16_t* name, size_t units) {
  size_t base = 0;
  while (base < units && name[base] != '.') ++base;
  while (base > 0 && name[base - 1] == ' ') --base;
  if (base != 3 && base != 4) return false;
  // The stem in ASCII capitals; anything else is no device's.
  char stem[3];
  for (size_t i = 0; i < 3; ++i) {
    if (Upper(name[i]) > 0x7F) return false;
    stem[i] = static_cast<char>(Upper(name[i]));
  }
  auto is = [&stem](const char* device) {
    return stem[0] == device[0] && stem[1] == device[1] && stem[2] == device[2];
  };
  if (base == 3) return is("CON") || is("PRN") || is("AUX") || is("NUL");
  uint16_t digit = name[3];
  bool numbered = (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 ||
                  digit == 0xB3;
  return numbered && (is("COM") || is("LPT"));
}

// desktop.ini and autorun.inf, in any case: Explorer reads the first when
// it shows a folder (its icon, its name, handlers to load) and has acted on
// the second for removable media. Dotless i and long s, whose capitals are I
// and S, are folded too, so that no case mapping turns a name into these.
[[gnu::always_inline]] inline bool IsShellReservedName(const uint16_t* name, size_t units) {
  static const char* const kNames[] = {"DESKTOP.INI", "AUTORUN.INF"};
  if (units != 11) return false;
  for (const char* reserved : kNames) {
    size_t i = 0;
    for (; i < units; ++i) {
      uint16_t c = name[i] == 0x131 ? 'i' : name[i] == 0x17F ? 's' : name[i];
      if (Upper(c) != static_cast<uint16_t>(reserved[i])) break;
    }
    if (i == units) return true;
  }
  return false;
}

// The code point starting at name[*i], surrogate pairs joined; *i moves past
// it. A surrogate without its partner comes back as itself.
[[gnu::always_inline]] inline uint32_t NextCodePoint(const uint16_t* name, size_t units,
                                                     size_t* i) {
  uint32_t c = name[(*i)++];
  if (c >= 0xD800 && c <= 0xDBFF && *i < units && name[*i] >= 0xDC00 && name[*i] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (name[(*i)++] - 0xDC00);
  }
  return c;
}

}  // namespace

// Every class of code point the name rule treats specially. kRefused rows
// are the characters that show nothing, or show the name in another order,
// so that a recipient reading the name would not see what is written: the
// controls, the bidirectional formatting characters, Unicode's default-
// ignorable code points (invisible wherever they are shown, assigned or
// reserved), the line separators and unpaired surrogates. kBlank rows look
// like a space; kSelector rows vary the glyph of the character before them.
constexpr NameCharRange kNameCharTable[] = {
    // C0 controls: end the name early, move a terminal's cursor.
    {0x0000, 0x001F, NameCharKind::kRefused},
    {0x0020, 0x0020, NameCharKind::kBlank},  // space
    // DEL and the C1 controls (U+0085 breaks the line): no glyph.
    {0x007F, 0x009F, NameCharKind::kRefused},
    {0x00A0, 0x00A0, NameCharKind::kBlank},    // no-break space
    {0x00AD, 0x00AD, NameCharKind::kRefused},  // soft hyphen: shown only at a line break
    {0x034F, 0x034F, NameCharKind::kRefused},  // combining grapheme joiner: no glyph
    {0x061C, 0x061C, NameCharKind::kRefused},  // Arabic letter mark: reorders
    // Hangul choseong and jungseong fillers: blank glyphs that no blank rule sees.
    {0x115F, 0x1160, NameCharKind::kRefused},
    {0x1680, 0x1680, NameCharKind::kBlank},    // Ogham space mark
    {0x17B4, 0x17B5, NameCharKind::kRefused},  // Khmer inherent vowels: no glyph
    {0x180B, 0x180D, NameCharKind::kSelector},  // Mongolian free variation selectors
    {0x180E, 0x180E, NameCharKind::kRefused},   // Mongolian vowel separator: no glyph
    {0x180F, 0x180F, NameCharKind::kSelector},  // Mongolian free variation selector four
    {0x2000, 0x200A, NameCharKind::kBlank},     // en quad to hair space
    // Zero-width space, non-joiner and joiner: no glyph, so two names look alike.
    {0x200B, 0x200D, NameCharKind::kRefused},
    {0x200E, 0x200F, NameCharKind::kRefused},  // left-to-right and right-to-left marks
    {0x2028, 0x2029, NameCharKind::kRefused},  // line and paragraph separators: break the line
    // Embeddings and overrides: "inv<U+202E>fdp.exe" shows as "invexe.pdf".
    {0x202A, 0x202E, NameCharKind::kRefused},
    {0x202F, 0x202F, NameCharKind::kBlank},  // narrow no-break space
    {0x205F, 0x205F, NameCharKind::kBlank},  // medium mathematical space
    // Word joiner, the invisible operators (function application, times,
    // separator, plus) and U+2065: no glyph.
    {0x2060, 0x2065, NameCharKind::kRefused},
    {0x2066, 0x2069, NameCharKind::kRefused},  // bidirectional isolates: reorder
    {0x206A, 0x206F, NameCharKind::kRefused},  // deprecated shaping and digit controls: no glyph
    {0x2800, 0x2800, NameCharKind::kBlank},    // Braille pattern blank
    {0x3000, 0x3000, NameCharKind::kBlank},    // ideographic space
    {0x3164, 0x3164, NameCharKind::kRefused},  // Hangul filler: a blank glyph
    // Surrogates left over after pairing are unpaired: no character at all,
    // and each system shows (or converts) them its own way.
    {0xD800, 0xDFFF, NameCharKind::kRefused},
    {0xFE00, 0xFE0F, NameCharKind::kSelector},  // variation selectors (VS16 in emoji)
    {0xFEFF, 0xFEFF, NameCharKind::kRefused},   // zero-width no-break space (byte order mark)
    {0xFFA0, 0xFFA0, NameCharKind::kRefused},   // halfwidth Hangul filler: a blank glyph
    {0xFFF0, 0xFFF8, NameCharKind::kRefused},   // reserved, ignorable: no glyph once assigned
    {0x1BCA0, 0x1BCA3, NameCharKind::kRefused},  // shorthand format controls: no glyph
    {0x1D173, 0x1D17A, NameCharKind::kRefused},  // musical symbol format controls: no glyph
    // Tags and the reserved rest of their block: invisible text that can
    // spell a second, hidden name.
    {0xE0000, 0xE00FF, NameCharKind::kRefused},
    {0xE0100, 0xE01EF, NameCharKind::kSelector},  // variation selectors supplement (ideographs)
    {0xE01F0, 0xE0FFF, NameCharKind::kRefused},   // reserved, ignorable
};
const size_t kNameCharTableSize = sizeof kNameCharTable / sizeof kNameCharTable[0];

NameCharKind ClassifyNameChar(uint32_t cp) {
  for (size_t i = 0; i < kNameCharTableSize && kNameCharTable[i].first <= cp; ++i) {
    if (cp <= kNameCharTable[i].last) return kNameCharTable[i].kind;
  }
  return NameCharKind::kOrdinary;
}

namespace {

// The rule, written once for both answers: IsPlainFileName's yes or no, and
// FindNameFault's which fault and where. Each has its own copy with the
// helpers inlined; in the yes-or-no one (kWhich false) every fault is the
// same value and no place is kept, so it compiles to what a yes-or-no check
// is, and the decryptor, which asks only that, pays nothing for the other.
template <bool kWhich>
[[gnu::always_inline]] inline NameFault CheckName(const uint16_t* name, size_t units,
                                                  size_t* at) {
  auto fault = [](NameFault which) { return kWhich ? which : NameFault::kLength; };
  if (!name || units < 1 || units > 255) return NameFault::kLength;
  NameCharKind kind = NameCharKind::kOrdinary;
  uint32_t previous = 0;
  unsigned blanks = 0;  // blanks in a row so far
  for (size_t i = 0; i < units;) {
    if (kWhich && at) *at = i;
    const uint32_t c = NextCodePoint(name, units, &i);
    kind = ClassifyNameChar(c);
    switch (kind) {
      case NameCharKind::kRefused:
        return fault(NameFault::kHiddenChar);
      case NameCharKind::kBlank:
        // A leading blank hides in a list (previous is 0 only before the first
        // character: a NUL is refused); three or more push the rest out of view.
        if (previous == 0 || ++blanks > 2) {
          return fault(previous == 0 ? NameFault::kLeadingBlank : NameFault::kBlankRun);
        }
        break;
      case NameCharKind::kSelector:
        // Only a non-ASCII character has variants; after anything else the
        // selector is invisible padding.
        if (previous < 0x80 || ClassifyNameChar(previous) != NameCharKind::kOrdinary) {
          return fault(NameFault::kStraySelector);
        }
        break;
      case NameCharKind::kOrdinary:
        break;
    }
    if (kind != NameCharKind::kBlank) blanks = 0;
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?':
      case '"': case '<': case '>': case '|':
        return fault(NameFault::kReservedChar);
      default:
        break;
    }
    previous = c;
  }
  // "." and ".." end in a dot, so the trailing-dot rule refuses them too;
  // Windows drops a trailing dot or space, and any trailing blank is unseen.
  if (previous == '.' || kind == NameCharKind::kBlank) {
    return fault(previous == '.' ? NameFault::kTrailingDot : NameFault::kTrailingBlank);
  }
  if (IsDeviceName(name, units) || IsShellReservedName(name, units)) {
    return fault(IsDeviceName(name, units) ? NameFault::kDeviceName : NameFault::kShellName);
  }
  return NameFault::kNone;
}

}  // namespace

bool IsPlainFileName(const uint16_t* name, size_t units) {
  return CheckName<false>(name, units, nullptr) == NameFault::kNone;
}

NameFault FindNameFault(const uint16_t* name, size_t units, size_t* at) {
  return CheckName<true>(name, units, at);
}

}  // namespace orx::payload
