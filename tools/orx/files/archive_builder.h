// Assembles a self-decrypting archive: the stub, the cleanup tool and the
// decryptor, each zero-padded to its slot, then the payload byte for byte.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace orx {

// The programs' names in a release, and in the folder orx takes them from.
extern const char kStubFile[];       // Tarrow.exe
extern const char kCleanupFile[];    // Orx_DelTool.exe
extern const char kDecryptorFile[];  // Orx_DecryptFile.exe

struct ArchiveParts {
  std::filesystem::path stub;
  std::filesystem::path cleanup;
  std::filesystem::path decryptor;
  std::filesystem::path folder;  // where those not named one by one come from
};

// The parts the options name: each of `stub`, `cleanup` and `decryptor`
// that is not empty, the others by their release names in `folder`, or
// without one in platform::DefaultPartsFolder().
ArchiveParts ChooseParts(const std::string& folder, const std::string& stub,
                         const std::string& cleanup, const std::string& decryptor);

// Reads the three programs and refuses, before anything is written, one that
// is not a program fit for its slot (program_image.h). Returns false with a
// message naming the part and its file (and for one that cannot be opened,
// the options that name another); `ioFailure` tells a file that could not
// be read (the message has the OS reason) from a refused one.
bool LoadArchiveParts(const ArchiveParts& parts, std::string& head, std::string& error,
                      bool& ioFailure);

// Writes the payload bytes at the stream's position; false with an error.
using PayloadWriter = std::function<bool(std::FILE* out, std::string& error)>;

// Writes the archive head (78,336 bytes made by LoadArchiveParts) and then
// the payload to the open output.
bool WriteArchive(const std::string& head, const PayloadWriter& writePayload, std::FILE* out,
                  std::string& error);

}  // namespace orx
