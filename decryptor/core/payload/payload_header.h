// Reading and checking a payload's header, and finding the length of its
// encrypted content.
//
// Layout (integers are 32-bit little-endian): signature, nameBytes, the name
// (UTF-16LE, nameBytes bytes), keyBytes, keyCheck (20 bytes), wrappedKey and
// secondBlock (keyBytes each), the cipher text, then 24 trailing bytes: the
// SHA-1 of the plaintext and four bytes nobody reads.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_stream.h"

namespace orx::payload {

// Header results (the crypto codes are in payload_crypto.h).
enum : int {
  kHeaderTruncated = 1401,  // the stream ended inside the header
  kBadSignature = 1402,
  kNameTooLong = 1403,      // nameBytes above kMaxNameBytes
  kBadKeyBytes = 1404,      // keyBytes not 16, 24 or 32
  kBadStoredName = 1405,    // the stored name is not a plain file name
  kPayloadTooShort = 1406,  // no room for the header and the 24 trailing bytes
  kStreamFailed = 1407,     // the stream could not be measured (seek/tell)
};

constexpr uint32_t kMaxNameBytes = 2046;
constexpr size_t kNameCapacity = 1024;  // UTF-16 units, terminator included
constexpr int64_t kTrailerBytes = 24;   // plainDigest + tailBytes
constexpr size_t kKeyCheckBytes = 20;

struct PayloadHeader {
  uint32_t signature;
  uint32_t nameBytes;
  uint32_t nameUnits;               // nameBytes / 2: an odd last byte is dropped
  uint16_t fileName[kNameCapacity];  // zero at fileName[nameUnits]
  uint32_t keyBytes;
  uint8_t keyCheck[kKeyCheckBytes];
  uint8_t wrappedKey[32];   // keyBytes of them used
  uint8_t secondBlock[32];  // read past, never used
  int64_t headerEnd;        // stream position after secondBlock
  int64_t cipherBytes;      // length of the cipher text
};

// Bits 8-31 are 0xF8EBD6; in the low byte bit 0 is set and bit 4 clear.
bool IsPayloadSignature(uint32_t signature);

// Reads the header from the stream's position, in order, each read exact:
// the signature (tested right after its read), nameBytes (refused above
// kMaxNameBytes before the name is read), the name, keyBytes (refused before
// its blocks are read), keyCheck, wrappedKey, secondBlock. Then refuses a
// stored name that IsPlainFileName rejects, and measures the cipher text
// with MeasureCipherText. Returns kOk with the stream after secondBlock, or
// the first fault found; the fields read so far are filled in either way.
int ReadPayloadHeader(PayloadStream* payload, PayloadHeader* header);

// The cipher text length C for a stream positioned at the end of the header:
// bytes to the end of the stream minus the 24 trailing bytes. Leaves the
// position where it was. kPayloadTooShort when C would be negative,
// kStreamFailed when the stream cannot be measured.
int MeasureCipherText(PayloadStream* payload, int64_t* cipherBytes);

// How the stored-name rule sees one code point. Everything not in the table
// below is kOrdinary.
enum class NameCharKind : uint8_t {
  kOrdinary = 0,
  kRefused,   // never in a name: controls, bidirectional and invisible characters
  kBlank,     // shown as empty space: not first or last, at most two in a row
  kSelector,  // a variation selector: only right after a non-ASCII character it can vary
};

struct NameCharRange {
  uint32_t first, last;  // code points, inclusive
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

}  // namespace orx::payload
