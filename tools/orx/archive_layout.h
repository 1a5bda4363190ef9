// Where the parts of a self-decrypting archive sit. The stub finds its two
// programs and the payload by these fixed offsets alone, so every slot is
// padded with zeros to its full length.
#pragma once

#include <cstdint>

namespace orx::archive {

constexpr std::uint64_t kStubSlot = 0x6000;        // 24,576: the stub itself
constexpr std::uint64_t kCleanupOffset = 0x6000;
constexpr std::uint64_t kCleanupSlot = 0x3000;     // 12,288
constexpr std::uint64_t kDecryptorOffset = 0x9000;
constexpr std::uint64_t kDecryptorSlot = 0xA200;   // 41,472
constexpr std::uint64_t kPayloadOffset = 0x13200;  // 78,336: the payload to the end

static_assert(kCleanupOffset == kStubSlot);
static_assert(kDecryptorOffset == kCleanupOffset + kCleanupSlot);
static_assert(kPayloadOffset == kDecryptorOffset + kDecryptorSlot);

}  // namespace orx::archive
