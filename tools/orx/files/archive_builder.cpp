#include "archive_builder.h"

#include <cerrno>
#include <cstring>

#include "orx/archive/layout.h"
#include "orx/unique_handle.h"
#include "pending_file.h"
#include "platform.h"
#include "program_image.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

bool ReadSmallFile(const fs::path& path, std::uint64_t limit, std::string& bytes,
                   std::string& error) {
  CFile f(platform::OpenFile(path, "rb"));
  if (!f) {
    error = "cannot open " + path.u8string() + ": " + std::strerror(errno);
    return false;
  }
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
    error = "cannot read " + path.u8string() + ": " + std::strerror(saved ? saved : EIO);
    return false;
  }
  if (bytes.size() > limit) bytes.resize(limit + 1);
  return true;
}

bool LoadSlot(const SlotRule& rule, const fs::path& path, std::string& head, std::string& error,
              bool& ioFailure) {
  std::string bytes;
  if (!ReadSmallFile(path, rule.slot, bytes, error)) {
    ioFailure = true;
    return false;
  }
  if (!CheckSlotProgram(bytes, rule, path.u8string(), error)) return false;
  bytes.resize(rule.slot, '\0');
  head += bytes;
  return true;
}

}  // namespace

bool LoadArchiveParts(const ArchiveParts& parts, std::string& head, std::string& error,
                      bool& ioFailure) {
  head.clear();
  ioFailure = false;
  return LoadSlot(kStubRule, parts.stub, head, error, ioFailure) &&
         LoadSlot(kCleanupRule, parts.cleanup, head, error, ioFailure) &&
         LoadSlot(kDecryptorRule, parts.decryptor, head, error, ioFailure);
}

bool WriteArchive(const std::string& head, const PayloadWriter& writePayload,
                  PendingFile& output, std::string& error) {
  if (head.size() != archive::kPayloadOffset) {
    error = "internal: archive head has the wrong size";
    return false;
  }
  errno = 0;
  if (std::fwrite(head.data(), 1, head.size(), output.file()) != head.size()) {
    error = std::string("cannot write the archive: ") + std::strerror(errno ? errno : EIO);
    return false;
  }
  return writePayload(output.file(), error);
}

}  // namespace orx
