// Assembles a self-decrypting archive: the stub, the cleanup tool and the
// decryptor, each zero-padded to its slot, then the payload byte for byte.
#pragma once

#include <filesystem>
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

// Writes the archive head (78,336 bytes made by LoadArchiveParts) followed by
// the payload file to `out`. The output appears only when complete.
bool WriteArchive(const std::string& head, const std::filesystem::path& payload,
                  const std::filesystem::path& out, std::string& error);

}  // namespace orx
