#include "payload/stored_name.h"

namespace orx::payload {

namespace {

uint16_t Upper(uint16_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : c; }

// Whether name[from, units) is the ASCII capitals at *ascii in any case;
// *ascii moves past their terminator. Dotless i and long s, whose capitals
// are I and S, are folded too, so that no case mapping turns a name into
// one of these. A `from` past `units` matches nothing.
bool IsFolded(const uint16_t* name, size_t from, size_t units, const char** ascii) {
  bool same = true;
  for (; **ascii; ++*ascii, ++from) {
    uint16_t c = from < units ? name[from] : 0;
    c = c == 0x131 ? 'i' : c == 0x17F ? 's' : c;
    same = same && Upper(c) == static_cast<uint16_t>(**ascii);
  }
  ++*ascii;
  return same && from == units;
}

enum class Reserved { kNone, kDevice, kShell };

// Whether the name is reserved, and for what.
// - Devices: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (and
//   the superscript forms Windows also reserves), compared on the part
//   before the first dot with trailing blanks removed, as Windows does when
//   it maps a name to a device.
// - What Explorer acts on as soon as it shows the folder: desktop.ini (the
//   folder's icon, name and handlers to load) and autorun.inf (acted on for
//   removable media) by name; shortcuts, internet shortcuts, shell command
//   files, libraries and search connectors by type, which it reads for an
//   icon or a target that may name another machine.
[[gnu::always_inline]] inline Reserved ReservedName(const uint16_t* name, size_t units) {
  size_t base = 0;
  while (base < units && name[base] != '.') ++base;
  while (base > 0 && name[base - 1] == ' ') --base;
  size_t dot = units;
  while (dot > 0 && name[dot - 1] != '.') --dot;
  const uint16_t digit = base == 4 ? name[3] : 0;
  const bool numbered =
      (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  // One string, each entry ended by a zero, no table of pointers: six
  // devices, the two that take a digit, the two names, then the types.
  static const char kReserved[] =
      "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$\0COM\0LPT\0"
      "DESKTOP.INI\0AUTORUN.INF\0URL\0LNK\0SCF\0LIBRARY-MS\0SEARCHCONNECTOR-MS";
  const char* entry = kReserved;
  for (int i = 0; entry < kReserved + sizeof kReserved; ++i) {
    // The part compared: the base, the base without its digit, the whole
    // name, the type (none without a dot: compared from past the end).
    const size_t end = i < 6 ? base : i < 8 ? (numbered ? 3 : 0) : units;
    const size_t from = i < 10 ? 0 : dot ? dot : units + 1;
    if (IsFolded(name, from, end, &entry)) return i < 8 ? Reserved::kDevice : Reserved::kShell;
  }
  return Reserved::kNone;
}

// The code point starting at name[*i], surrogate pairs joined; *i moves past
// it. A surrogate without its partner comes back as itself.
uint32_t NextCodePoint(const uint16_t* name, size_t units, size_t* i) {
  uint32_t c = name[(*i)++];
  if (c >= 0xD800 && c <= 0xDBFF && *i < units && name[*i] >= 0xDC00 && name[*i] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (name[(*i)++] - 0xDC00);
  }
  return c;
}

// The code point ending just before name[*i], surrogate pairs joined; *i
// moves to its start.
uint32_t PreviousCodePoint(const uint16_t* name, size_t* i) {
  uint32_t c = name[--*i];
  if (c >= 0xDC00 && c <= 0xDFFF && *i > 0 && name[*i - 1] >= 0xD800 && name[*i - 1] <= 0xDBFF) {
    c = 0x10000 + ((name[--*i] - 0xD800) << 10) + (c - 0xDC00);
  }
  return c;
}

bool IsTransparent(NameContext context) {
  return context == NameContext::kTransparent || context == NameContext::kVirama;
}

// Whether the joiner `joiner` at name[at, after) stands where its script or
// an emoji sequence needs it. Everything beside it is checked by the rest of
// the rule too: a refused neighbour refuses the name anyway.
bool JoinerFits(const uint16_t* name, size_t units, size_t at, size_t after, uint32_t joiner) {
  if (at == 0 || after == units) return false;
  size_t back = at, ahead = after;
  uint32_t before = PreviousCodePoint(name, &back);
  uint32_t next = NextCodePoint(name, units, &ahead);
  // After a virama, either joiner shapes the conjunct; the next character
  // must be one it can shape, not ASCII, a blank or another joiner.
  if (ContextOf(before) == NameContext::kVirama) {
    return next >= 0x80 && ClassifyNameChar(next) == NameCharKind::kOrdinary;
  }
  if (joiner == 0x200C) {
    // (L|D) T* ZWNJ T* (R|D): it parts two letters that would join.
    while (IsTransparent(ContextOf(before)) && back > 0) before = PreviousCodePoint(name, &back);
    while (IsTransparent(ContextOf(next)) && ahead < units) next = NextCodePoint(name, units, &ahead);
    NameContext left = ContextOf(before), right = ContextOf(next);
    return (left == NameContext::kLeftJoining || left == NameContext::kDualJoining) &&
           (right == NameContext::kRightJoining || right == NameContext::kDualJoining);
  }
  // An emoji, perhaps with its skin tone and its emoji selector, ZWJ, an emoji.
  if (before == 0xFE0F && back > 0) before = PreviousCodePoint(name, &back);
  if (ContextOf(before) == NameContext::kEmojiModifier && back > 0) {
    before = PreviousCodePoint(name, &back);
  }
  return ContextOf(before) == NameContext::kEmoji && ContextOf(next) == NameContext::kEmoji;
}

// A variation selector after ASCII varies only the keycap bases: the emoji
// and text forms of a digit, # and *.
bool IsKeycapSelector(uint32_t base, uint32_t selector) {
  bool keycap = (base >= '0' && base <= '9') || base == '#' || base == '*';
  return keycap && (selector == 0xFE0E || selector == 0xFE0F);
}

}  // namespace

// Every class of code point the name rule treats specially. kRefused rows
// are the characters that show nothing, or show the name in another order,
// so that a recipient reading the name would not see what is written: the
// controls, the bidirectional formatting characters, Unicode's default-
// ignorable code points (invisible wherever they are shown, assigned or
// reserved), the line separators and unpaired surrogates. kBlank rows look
// like a space; kSelector rows vary the glyph of the character before them;
// kJoiner rows join or part the characters beside them.
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
    {0x200B, 0x200B, NameCharKind::kRefused},  // zero-width space: no glyph, two names alike
    // Zero-width non-joiner and joiner: no glyph of their own, but part of
    // the spelling in Persian, in Indic scripts and in emoji sequences.
    {0x200C, 0x200D, NameCharKind::kJoiner},
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

NameContext ContextOf(uint32_t cp) {
  uint32_t end = 0;  // the code point after the previous run
  for (size_t i = 0; i < kNameContextsSize;) {
    uint32_t numbers[2] = {};
    for (uint32_t& number : numbers) {
      for (unsigned shift = 0; i < kNameContextsSize; shift += 7) {
        number |= static_cast<uint32_t>(kNameContexts[i] & 0x7F) << shift;
        if (!(kNameContexts[i++] & 0x80)) break;
      }
    }
    uint32_t first = end + (numbers[0] >> 3);
    if (cp < first) break;
    end = first + numbers[1] + 1;
    if (cp < end) return static_cast<NameContext>(numbers[0] & 7);
  }
  return NameContext::kNone;
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
    const size_t start = i;
    if (kWhich && at) *at = start;
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
        // Only a non-ASCII character and the keycap bases have variants;
        // after anything else the selector is invisible padding.
        if (previous < 0x80 ? !IsKeycapSelector(previous, c)
                            : ClassifyNameChar(previous) != NameCharKind::kOrdinary) {
          return fault(NameFault::kStraySelector);
        }
        break;
      case NameCharKind::kJoiner:
        if (!JoinerFits(name, units, start, i, c)) return fault(NameFault::kStrayJoiner);
        break;
      case NameCharKind::kOrdinary:
        break;
    }
    if (kind != NameCharKind::kBlank) blanks = 0;
    // The fullwidth forms, and the division and fraction slashes, stand for
    // the ASCII characters too: Windows' best-fit tables give a program that
    // reads its command line in an ANSI code page those characters back.
    uint32_t ascii = c >= 0xFF01 && c <= 0xFF5E ? c - 0xFEE0 : c == 0x2215 || c == 0x2044 ? '/' : c;
    switch (ascii) {
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
  const Reserved reserved = ReservedName(name, units);
  if (reserved != Reserved::kNone) {
    return fault(reserved == Reserved::kDevice ? NameFault::kDeviceName : NameFault::kShellName);
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
