#include "header_fault.h"

#include <cstdio>

#include "display_text.h"
#include "payload/payload_header.h"

namespace orx {

namespace {

std::string CodePoint(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, cp > 0xFFFF ? "U+%06X" : "U+%04X", static_cast<unsigned>(cp));
  return text;
}

// The code point that starts at units[at], a surrogate pair joined.
char32_t CodePointAt(const char16_t* units, std::size_t count, std::size_t at) {
  char32_t c = units[at];
  if (c >= 0xD800 && c <= 0xDBFF && at + 1 < count && units[at + 1] >= 0xDC00 &&
      units[at + 1] <= 0xDFFF) {
    c = 0x10000 + ((c - 0xD800) << 10) + (units[at + 1] - 0xDC00);
  }
  return c;
}

std::string HiddenCharacter(char32_t cp) {
  const char* what = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) ? "a control character"
                     : cp >= 0xD800 && cp <= 0xDFFF          ? "an unpaired surrogate"
                                                    : "a bidirectional or invisible character";
  return "holds " + CodePoint(cp) + ", " + what + ", which would show the recipient another name";
}

// What breaks the rule, `cp` being the faulty character where there is one.
std::string NameFaultReason(payload::NameFault fault, char32_t cp, std::size_t count) {
  using payload::NameFault;
  switch (fault) {
    case NameFault::kNone: return "is a plain file name";
    case NameFault::kLength:
      return count == 0 ? "is empty"
                        : "is " + std::to_string(count) +
                              " characters long, more than the 255 of a Windows file name";
    case NameFault::kHiddenChar: return HiddenCharacter(cp);
    case NameFault::kLeadingBlank: return "starts with a blank, which a listing hides";
    case NameFault::kBlankRun:
      return "has more than two blanks in a row, which can push its ending out of sight";
    case NameFault::kStraySelector:
      return "holds the variation selector " + CodePoint(cp) +
             " after a character it cannot vary: invisible padding";
    case NameFault::kStrayJoiner:
      return "holds the joiner " + CodePoint(cp) +
             " where no script or emoji sequence needs it: invisible padding";
    case NameFault::kReservedChar:
      if (cp >= 0x80) {
        return "holds " + CodePoint(cp) +
               ", a form of one of \\ / : * ? \" < > | that Windows can turn back into it";
      }
      return "holds " + std::string(1, static_cast<char>(cp)) +
             ", one of \\ / : * ? \" < > |, which no Windows file name holds";
    case NameFault::kTrailingDot: return "ends with a dot, which Windows drops";
    case NameFault::kTrailingBlank: return "ends with a blank, which Windows drops or a listing hides";
    case NameFault::kDeviceName:
      return "is a Windows device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, "
             "LPT0-LPT9, also with an extension)";
    case NameFault::kShellName:
      return "is desktop.ini, autorun.inf or a .url, .lnk, .scf, .library-ms or "
             ".searchConnector-ms file, which Explorer acts on when it shows the folder";
  }
  return "breaks the stored-name rule";
}

}  // namespace

std::string DescribeNameFault(const char16_t* units, std::size_t count) {
  std::size_t at = 0;
  const payload::NameFault fault =
      payload::FindNameFault(reinterpret_cast<const uint16_t*>(units), count, &at);
  const char32_t cp = count ? CodePointAt(units, count, at) : 0;
  return "the name \"" + DisplayText(units, count) + "\" " + NameFaultReason(fault, cp, count);
}

std::string DescribeHeaderFault(int code) {
  switch (code) {
    case payload::kHeaderTruncated: return "the payload ends inside its header";
    case payload::kBadSignature: return "the payload signature is wrong";
    case payload::kNameTooLong: return "the stored name is longer than 2,046 bytes";
    case payload::kBadKeyBytes: return "the key length is not 16, 24 or 32 bytes";
    case payload::kBadStoredName: return "the stored name is not a plain file name";
    case payload::kPayloadTooShort:
      return "the payload is too short for its header and its digest or tag";
    case payload::kBadVersion: return "the payload's format version is not 2";
    case payload::kBadKdf: return "the key derivation is not PBKDF2-HMAC-SHA256 (1)";
    case payload::kBadCost:
      return "the key derivation's cost is outside " + std::to_string(payload::kMinIterations) +
             " to " + std::to_string(payload::kMaxIterations) + " iterations";
    case payload::kOddNameBytes: return "the stored name's length is an odd number of bytes";
    case payload::kStreamFailed: return "the payload file cannot be measured";
    default: return "the payload header is malformed (code " + std::to_string(code) + ")";
  }
}

}  // namespace orx
