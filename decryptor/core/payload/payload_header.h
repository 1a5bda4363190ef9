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

// Whether a stored name may be used as an output file name as it stands: 1 to
// 255 UTF-16 units; no unit below 0x20, no C1 control (U+0080-U+009F) and no
// bidirectional formatting character (U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069, U+061C), which would make the name shown differ from the
// file opened; none of \ / : * ? " < > |; not "." or
// ".."; no trailing dot or blank; not a device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, also with an extension or trailing blanks before it,
// and COM/LPT with a superscript digit 1-3). Anything else could name
// another folder, a stream or a device, and is refused.
bool IsPlainFileName(const uint16_t* name, size_t units);

}  // namespace orx::payload
