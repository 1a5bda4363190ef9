// The payload format: the header, read and written, and the trailer.
//
// Layout (integers are 32-bit little-endian): signature, nameBytes, the name
// (UTF-16LE, nameBytes bytes), keyBytes, keyCheck (20 bytes: SHA-1 of the
// file key), wrappedKey and secondBlock (keyBytes each), the cipher text,
// then the trailer of 24 bytes: the SHA-1 of the plaintext and four bytes
// nobody reads. The cipher text's length is what lies between the header
// and the trailer: a payload is read from a stream that can be measured.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_results.h"
#include "payload/payload_stream.h"
#include "payload/stored_name.h"

namespace orx::payload {

constexpr uint32_t kMaxNameBytes = 2046;
constexpr size_t kNameCapacity = 1024;  // UTF-16 units, terminator included
constexpr size_t kKeyCheckBytes = 20;
constexpr size_t kSha1Bytes = 20;
constexpr size_t kTailBytes = 4;
constexpr int64_t kTrailerBytes = kSha1Bytes + kTailBytes;  // plainDigest + tailBytes
// The signature a new payload carries; a reader takes the whole family
// IsPayloadSignature describes.
constexpr uint32_t kPayloadSignature = 0xF8EBD601u;
// The longest header: the fixed fields, the longest name, the longest keys.
constexpr size_t kMaxHeaderBytes = 12 + kMaxNameBytes + kKeyCheckBytes + 2 * 32;

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

struct PayloadTrailer {
  uint8_t plainDigest[kSha1Bytes];  // SHA-1 of the plaintext
  uint8_t tailBytes[kTailBytes];    // zeros when written, never checked
};

// Bits 8-31 are 0xF8EBD6; in the low byte bit 0 is set and bit 4 clear.
bool IsPayloadSignature(uint32_t signature);

// Reads the header from the stream's position, in order, each read exact:
// the signature (tested right after its read), nameBytes (refused above
// kMaxNameBytes before the name is read), the name, keyBytes (refused before
// its blocks are read), keyCheck, wrappedKey, secondBlock. Then refuses a
// stored name that IsPlainFileName rejects, and measures the cipher text
// with MeasureCipherText. Returns kOk with the stream after secondBlock, or
// the first fault found (kReadFailed for a read error, kHeaderTruncated
// when the data ends inside the header); the fields read so far are filled
// in either way.
int ReadPayloadHeader(PayloadStream* payload, PayloadHeader* header);

// The writing side: the header of `header`'s signature, name (nameUnits
// units of fileName; nameBytes is ignored), keyBytes, keyCheck, wrappedKey
// and secondBlock, as ReadPayloadHeader reads it back. Returns its length
// in `out`, or 0 for fields no reader takes: a signature IsPayloadSignature
// refuses, a key length other than 16, 24 or 32, a name IsPlainFileName
// refuses.
size_t WritePayloadHeader(const PayloadHeader& header, unsigned char out[kMaxHeaderBytes]);

// The cipher text length C for a stream positioned at the end of the header:
// bytes to the end of the stream minus the 24 trailing bytes. Leaves the
// position where it was. kPayloadTooShort when C would be negative,
// kStreamFailed when the stream cannot be measured.
int MeasureCipherText(PayloadStream* payload, int64_t* cipherBytes);

// Reads the trailer at the stream's position (right after the cipher text):
// kOk, kReadFailed, or kNoStoredDigest when the data ends first.
int ReadPayloadTrailer(PayloadStream* payload, PayloadTrailer* trailer);

// The trailer of a new payload: the plaintext's digest and zero tail bytes.
void WritePayloadTrailer(const uint8_t plainDigest[kSha1Bytes],
                         unsigned char out[kTrailerBytes]);

}  // namespace orx::payload
