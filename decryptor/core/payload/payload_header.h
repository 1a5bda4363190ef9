// The payload formats: the header, read and written, and the trailer.
//
// Format 1 (integers are 32-bit little-endian): signature, nameBytes, the
// name (UTF-16LE, nameBytes bytes), keyBytes, keyCheck (20 bytes: SHA-1 of
// the file key), wrappedKey and secondBlock (keyBytes each), the cipher
// text, then the trailer of 24 bytes: the SHA-1 of the plaintext and four
// bytes nobody reads.
//
// Format 2: signature "ORXP", version 2, kdf 1 (PBKDF2-HMAC-SHA256),
// iterations, salt (16 bytes), nameBytes (even), the name, keyIv (16),
// wrappedKey (32), keyCheck (32), contentIv (16), the cipher text, then the
// 32-byte tag: HMAC-SHA256 over every byte before it. The keys are
// format2_keys.h's.
//
// In both, the cipher text's length is what lies between the header and
// the trailer: a payload is read from a stream that can be measured.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/payload_results.h"
#include "payload/payload_stream.h"
#include "payload/stored_name.h"

namespace orx::payload {

constexpr uint32_t kMaxNameBytes = 2046;
constexpr size_t kNameCapacity = 1024;  // UTF-16 units, terminator included
constexpr size_t kKeyCheckBytes = 20;   // format 1's keyCheck
constexpr size_t kSha1Bytes = 20;
constexpr size_t kTailBytes = 4;
constexpr int64_t kTrailerBytes = kSha1Bytes + kTailBytes;  // plainDigest + tailBytes
// The signature a new format-1 payload carries; a reader takes the whole
// family IsPayloadSignature describes.
constexpr uint32_t kPayloadSignature = 0xF8EBD601u;

// Format 2. Its signature is the bytes "ORXP": bits 8-31 are not format
// 1's, so a reader of format 1 only refuses it as malformed.
constexpr uint32_t kFormat2Signature = 0x5058524Fu;
constexpr uint32_t kFormat2Version = 2;
constexpr uint32_t kKdfPbkdf2HmacSha256 = 1;  // the one key derivation
// The cost bounds every reader holds a header to before deriving anything,
// so that a crafted header cannot make it work for hours; the writers'
// default.
constexpr uint32_t kMinIterations = 100000;
constexpr uint32_t kMaxIterations = 10000000;
constexpr uint32_t kDefaultIterations = 600000;
constexpr size_t kSaltBytes = 16;
constexpr size_t kIvBytes = 16;
constexpr size_t kWrappedKey2Bytes = 32;  // the file key, AES-256
constexpr size_t kKeyCheck2Bytes = 32;
constexpr size_t kTagBytes = 32;
// The header but the name: offset of the name, and what follows it.
constexpr size_t kFormat2NameOffset = 36;
constexpr size_t kFormat2FixedBytes =
    kFormat2NameOffset + kIvBytes + kWrappedKey2Bytes + kKeyCheck2Bytes + kIvBytes;  // 132

// The longest header of either format: format 2's with the longest name
// (format 1's is at most 12 + 2,046 + 20 + 2 * 32 bytes).
constexpr size_t kMaxHeaderBytes = kFormat2FixedBytes + kMaxNameBytes;

struct PayloadHeader {
  uint32_t format;     // 1 or 2, from the signature
  uint32_t signature;
  uint32_t nameBytes;
  uint32_t nameUnits;               // nameBytes / 2: in format 1 an odd last byte is dropped
  uint16_t fileName[kNameCapacity];  // zero at fileName[nameUnits]
  uint32_t keyBytes;                 // format 1's field; 32 in format 2
  uint8_t keyCheck[kKeyCheck2Bytes];  // 20 bytes used in format 1, 32 in format 2
  uint8_t wrappedKey[32];   // keyBytes of them used
  uint8_t secondBlock[32];  // format 1: read past, never used
  // Format 2 only.
  uint32_t kdf;
  uint32_t iterations;
  uint8_t salt[kSaltBytes];
  uint8_t keyIv[kIvBytes];
  uint8_t contentIv[kIvBytes];
  // The header's bytes as read, signature to contentIv, which the tag
  // authenticates (rawBytes of them).
  uint8_t raw[kMaxHeaderBytes];
  uint32_t rawBytes;
  int64_t headerEnd;        // stream position after the header
  int64_t cipherBytes;      // length of the cipher text
};

// What follows the cipher text: format 1's digest and tail, or format 2's tag.
inline int64_t TrailerBytesOf(const PayloadHeader& header) {
  return header.format == 2 ? static_cast<int64_t>(kTagBytes) : kTrailerBytes;
}

struct PayloadTrailer {
  uint8_t plainDigest[kSha1Bytes];  // SHA-1 of the plaintext
  uint8_t tailBytes[kTailBytes];    // zeros when written, never checked
};

// Format 1's signatures: bits 8-31 are 0xF8EBD6; in the low byte bit 0 is
// set and bit 4 clear.
bool IsPayloadSignature(uint32_t signature);

// Reads the header from the stream's position, in order, each read exact,
// each field refused as soon as it is read; the signature chooses the
// format.
// - Format 1: nameBytes (refused above kMaxNameBytes before the name is
//   read), the name, keyBytes (refused before its blocks are read),
//   keyCheck, wrappedKey, secondBlock.
// - Format 2: version, kdf, iterations (refused outside kMinIterations to
//   kMaxIterations: kBadCost), salt, nameBytes (odd: kOddNameBytes; above
//   kMaxNameBytes: kNameTooLong), the name, keyIv, wrappedKey, keyCheck,
//   contentIv.
// Then refuses a stored name that IsPlainFileName rejects, and measures the
// cipher text with MeasureCipherText. Returns kOk with the stream at the
// cipher text, or the first fault found (kReadFailed for a read error,
// kHeaderTruncated when the data ends inside the header, kBadSignature for
// a signature of neither format); the fields read so far are filled in
// either way.
int ReadPayloadHeader(PayloadStream* payload, PayloadHeader* header);

// The writing side: the header of `header`'s format as ReadPayloadHeader
// reads it back, from its fields (the name: nameUnits units of fileName;
// nameBytes is ignored). Format 1: signature, keyBytes, keyCheck,
// wrappedKey and secondBlock. Format 2: iterations, salt, keyIv,
// wrappedKey, keyCheck and contentIv (signature, version and kdf are the
// format's). Returns its length in `out`, or 0 for fields no reader takes:
// another format, a format-1 signature IsPayloadSignature refuses, a key
// length other than 16, 24 or 32, iterations out of bounds, a name
// IsPlainFileName refuses.
size_t WritePayloadHeader(const PayloadHeader& header, unsigned char out[kMaxHeaderBytes]);

// The cipher text length C for a stream positioned at the end of the header:
// bytes to the end of the stream minus the `trailerBytes` that follow the
// cipher text. Leaves the position where it was. kPayloadTooShort when C
// would be negative, kStreamFailed when the stream cannot be measured.
int MeasureCipherText(PayloadStream* payload, int64_t trailerBytes, int64_t* cipherBytes);

// Reads format 1's trailer at the stream's position (right after the cipher
// text): kOk, kReadFailed, or kNoStoredDigest when the data ends first.
int ReadPayloadTrailer(PayloadStream* payload, PayloadTrailer* trailer);

// The trailer of a new payload: the plaintext's digest and zero tail bytes.
void WritePayloadTrailer(const uint8_t plainDigest[kSha1Bytes],
                         unsigned char out[kTrailerBytes]);

}  // namespace orx::payload
