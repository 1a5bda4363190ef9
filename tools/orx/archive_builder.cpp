#include "archive_builder.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "archive_layout.h"
#include "open_file.h"
#include "pending_file.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

bool ReadSmallFile(const fs::path& path, std::uint64_t limit, std::string& bytes,
                   std::string& error) {
  std::FILE* f = OpenFile(path, "rb");
  if (!f) {
    error = "cannot open " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  bytes.clear();
  char buffer[4096];
  size_t got;
  // Reads one byte past the limit at most, enough to know it is too large.
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > limit) break;
  }
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path.string();
    return false;
  }
  return true;
}

bool LoadSlot(const char* what, const fs::path& path, std::uint64_t slot, std::string& head,
              std::string& error) {
  std::string bytes;
  if (!ReadSmallFile(path, slot, bytes, error)) return false;
  if (bytes.empty()) {
    error = std::string(what) + " " + path.string() + " is empty";
    return false;
  }
  if (bytes.size() > slot) {
    std::error_code ec;
    auto size = fs::file_size(path, ec);
    error = std::string(what) + " " + path.string() + " is " +
            (ec ? std::string("more than ") + std::to_string(slot) : std::to_string(size)) +
            " bytes; its slot holds " + std::to_string(slot);
    return false;
  }
  bytes.resize(slot, '\0');
  head += bytes;
  return true;
}

}  // namespace

bool LoadArchiveParts(const ArchiveParts& parts, std::string& head, std::string& error) {
  head.clear();
  return LoadSlot("stub", parts.stub, archive::kStubSize, head, error) &&
         LoadSlot("cleanup tool", parts.cleanup, archive::kCleanupSize, head, error) &&
         LoadSlot("decryptor", parts.decryptor, archive::kDecryptorSize, head, error);
}

bool WriteArchive(const std::string& head, const PayloadWriter& writePayload,
                  const fs::path& out, std::string& error) {
  if (head.size() != archive::kPayloadOffset) {
    error = "internal: archive head has the wrong size";
    return false;
  }
  PendingFile output;
  if (!output.Open(out, error)) return false;
  if (std::fwrite(head.data(), 1, head.size(), output.file()) != head.size()) {
    error = "cannot write " + out.string();
    return false;
  }
  return writePayload(output.file(), error) && output.Commit(true, error);
}

PayloadWriter CopyPayloadFile(const fs::path& payload) {
  return [payload](std::FILE* out, std::string& error) {
    std::FILE* in = OpenFile(payload, "rb");
    if (!in) {
      error = "cannot open " + payload.string() + ": " + std::strerror(errno);
      return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    size_t got;
    while (ok && (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
      ok = std::fwrite(buffer.data(), 1, got, out) == got;
    }
    bool readFailed = std::ferror(in);
    std::fclose(in);
    if (readFailed) error = "cannot read " + payload.string();
    if (!ok) error = "cannot write the archive";
    return ok && !readFailed;
  };
}

}  // namespace orx
