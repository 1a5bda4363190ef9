// The stored-name rule: which names a payload may carry as the name of the
// file it decrypts to. The reader refuses a payload whose name breaks it,
// the writer never stores one, and the tools that print stored names
// escape what it refuses.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace orx::payload {

// How the stored-name rule sees one code point. Everything not in the table
// below is kOrdinary.
enum class NameCharKind : uint8_t {
  kOrdinary = 0,
  kRefused,   // never in a name: controls, bidirectional and invisible characters
  kBlank,     // shown as empty space: not first or last, at most two in a row
  kSelector,  // a variation selector: only right after a non-ASCII character it can vary
};

// A code point (21 bits) in three bytes, so that a row of the table below
// takes seven bytes instead of twelve; read as a uint32_t.
struct CodePoint24 {
  uint8_t bytes[3];  // least significant first
  constexpr CodePoint24(uint32_t cp)
      : bytes{static_cast<uint8_t>(cp), static_cast<uint8_t>(cp >> 8),
              static_cast<uint8_t>(cp >> 16)} {}
  constexpr operator uint32_t() const {
    return bytes[0] | bytes[1] << 8 | static_cast<uint32_t>(bytes[2]) << 16;
  }
};

struct NameCharRange {
  CodePoint24 first, last;  // code points, inclusive
  NameCharKind kind;
};

// The classes of code points the rule treats specially, sorted and not
// overlapping, each with the reason in payload_header.cpp. Shared with the
// tools that print stored names, which escape what is kRefused.
extern const NameCharRange kNameCharTable[];
extern const size_t kNameCharTableSize;

// The kind of `cp` in kNameCharTable; a lone surrogate (U+D800-U+DFFF left
// over after pairing) is kRefused.
NameCharKind ClassifyNameChar(uint32_t cp);

// Whether a stored name may be used as an output file name as it stands: 1 to
// 255 UTF-16 units; no unit below 0x20 and no kRefused code point (C1
// controls, bidirectional formatting characters that make the name shown
// differ from the file opened, invisible characters that make two names
// look alike or hide part of one, unpaired surrogates); no blank first, none
// last and no run of more than two (a run pushes a real extension out of
// sight: "statement.pdf<60 blanks>.exe"); a variation selector only after a
// non-ASCII character that is not a blank; none of \ / : * ? " < > |; not
// "." or ".."; no trailing dot; not a device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, also with an extension or trailing blanks before it,
// and COM/LPT with a superscript digit 1-3); not desktop.ini or autorun.inf
// in any case, which Explorer acts on as soon as it shows the folder.
// Anything else could name another folder, a stream or a device, or show the
// recipient another name than the one written, and is refused.
bool IsPlainFileName(const uint16_t* name, size_t units);

// Which part of that rule a name breaks, the first fault met, so that a
// tool can name it; kNone for exactly the names IsPlainFileName accepts,
// which is this function's answer: the rule is written once.
enum class NameFault : uint8_t {
  kNone = 0,
  kLength,          // empty, or more than 255 units
  kHiddenChar,      // a unit below 0x20 or a kRefused code point
  kLeadingBlank,
  kBlankRun,        // a third blank in a row
  kStraySelector,   // a variation selector after a character it cannot vary
  kReservedChar,    // one of \ / : * ? " < > |
  kTrailingDot,     // "." and ".." too
  kTrailingBlank,
  kDeviceName,
  kShellName,       // desktop.ini, autorun.inf
};
// `at`, when given, is set to the unit where the faulty code point starts
// (for the faults of one character).
NameFault FindNameFault(const uint16_t* name, size_t units, size_t* at);

}  // namespace orx::payload
