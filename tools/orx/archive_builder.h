// Assembles a self-decrypting archive: the stub, the cleanup tool and the
// decryptor, each zero-padded to its slot, then the payload byte for byte.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace orx {

struct ArchiveParts {
  std::filesystem::path stub;
  std::filesystem::path cleanup;
  std::filesystem::path decryptor;
};

// Reads the three programs and refuses, before anything is written, one that
// is empty or larger than its slot. Returns false with a message naming the
// part and the sizes.
bool LoadArchiveParts(const ArchiveParts& parts, std::string& head, std::string& error);

// Writes the payload bytes at the stream's position; false with an error.
using PayloadWriter = std::function<bool(std::FILE* out, std::string& error)>;

// Writes the archive head (78,336 bytes made by LoadArchiveParts) and then
// the payload to `out`, which appears only when complete (an existing file
// is replaced).
bool WriteArchive(const std::string& head, const PayloadWriter& writePayload,
                  const std::filesystem::path& out, std::string& error);

// A PayloadWriter that copies an existing payload file byte for byte.
PayloadWriter CopyPayloadFile(const std::filesystem::path& payload);

}  // namespace orx
