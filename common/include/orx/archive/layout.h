// Layout of a self-decrypting archive: the stub's own image, then two fixed
// slots holding the cleanup tool and the decryptor, then the encrypted
// payload up to the end of the file. The slots are found by these offsets
// alone, so every archive builder and reader must use exactly these values.
//
// The build reads the three slot sizes from this file (cmake/OrxPlatform.cmake)
// to hold each program to its slot: keep each on one line, as
// "constexpr unsigned long k<Name>Size = <number>;".
#pragma once

namespace archive {

constexpr unsigned long kStubSize = 0x6000;          // 24,576: the stub, padded
constexpr unsigned long kCleanupOffset = 0x6000;     // slot 1: the cleanup tool
constexpr unsigned long kCleanupSize = 0x3000;       // 12,288
constexpr unsigned long kDecryptorOffset = 0x9000;   // slot 2: the decryptor
constexpr unsigned long kDecryptorSize = 0xA200;     // 41,472
constexpr unsigned long kPayloadOffset = 0x13200;    // 78,336: the payload starts here

static_assert(kCleanupOffset == kStubSize, "slot 1 follows the stub");
static_assert(kCleanupOffset + kCleanupSize == kDecryptorOffset, "slots are adjacent");
static_assert(kDecryptorOffset + kDecryptorSize == kPayloadOffset, "payload follows slot 2");

}  // namespace archive
