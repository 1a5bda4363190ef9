#include "archive_builder.h"

#include <cerrno>
#include <cstring>

#include "orx/archive/layout.h"
#include "orx/unique_handle.h"
#include "platform.h"
#include "program_image.h"
#include "standard_streams.h"

namespace orx {

namespace fs = std::filesystem;

const char kStubFile[] = "Tarrow.exe";
const char kCleanupFile[] = "Orx_DelTool.exe";
const char kDecryptorFile[] = "Orx_DecryptFile.exe";

namespace {

bool ReadSmallFile(const fs::path& path, std::uint64_t limit, std::string& bytes,
                   std::string& error) {
  CFile f = OpenInput(path, error);
  if (!f) return false;
  bytes.clear();
  char buffer[4096];
  size_t got;
  errno = 0;
  // Reads one byte past the limit at most, enough to know it is too large.
  while ((got = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > limit) break;
  }
  int saved = errno;
  bool failed = std::ferror(f.get());
  f.reset();
  if (failed) {
    error = "cannot read " + InputName(path) + ": " + std::strerror(saved ? saved : EIO);
    return false;
  }
  if (bytes.size() > limit) bytes.resize(limit + 1);
  return true;
}

bool LoadSlot(const SlotRule& rule, const fs::path& path, const fs::path& folder,
              std::string& head, std::string& error, bool& ioFailure) {
  std::string bytes;
  if (!ReadSmallFile(path, rule.slot, bytes, error)) {
    ioFailure = true;
    error = "the " + std::string(rule.what) + ": " + error;
    if (path.parent_path() == folder) {
      error += std::string("; --parts DIR names a folder with ") + kStubFile + ", " +
               kCleanupFile + " and " + kDecryptorFile + ", or --stub, --cleanup and "
               "--decryptor name the files";
    }
    return false;
  }
  if (!CheckSlotProgram(bytes, rule, InputName(path), error)) return false;
  bytes.resize(rule.slot, '\0');
  head += bytes;
  return true;
}

}  // namespace

ArchiveParts ChooseParts(const std::string& folder, const std::string& stub,
                         const std::string& cleanup, const std::string& decryptor) {
  ArchiveParts parts;
  parts.folder = folder.empty() ? platform::DefaultPartsFolder() : fs::u8path(folder);
  auto choose = [&parts](const std::string& given, const char* file) {
    return given.empty() ? parts.folder / file : fs::u8path(given);
  };
  parts.stub = choose(stub, kStubFile);
  parts.cleanup = choose(cleanup, kCleanupFile);
  parts.decryptor = choose(decryptor, kDecryptorFile);
  return parts;
}

bool LoadArchiveParts(const ArchiveParts& parts, std::string& head, std::string& error,
                      bool& ioFailure) {
  head.clear();
  ioFailure = false;
  return LoadSlot(kStubRule, parts.stub, parts.folder, head, error, ioFailure) &&
         LoadSlot(kCleanupRule, parts.cleanup, parts.folder, head, error, ioFailure) &&
         LoadSlot(kDecryptorRule, parts.decryptor, parts.folder, head, error, ioFailure);
}

bool WriteArchive(const std::string& head, const PayloadWriter& writePayload, std::FILE* out,
                  std::string& error) {
  if (head.size() != archive::kPayloadOffset) {
    error = "internal: archive head has the wrong size";
    return false;
  }
  errno = 0;
  if (std::fwrite(head.data(), 1, head.size(), out) != head.size()) {
    error = std::string("cannot write the archive: ") + std::strerror(errno ? errno : EIO);
    return false;
  }
  return writePayload(out, error);
}

}  // namespace orx
