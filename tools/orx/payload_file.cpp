#include "payload_file.h"

#include <cerrno>
#include <cstring>

#include "archive_layout.h"
#include "payload/payload_crypto.h"
#include "header_fault.h"
#include "open_file.h"
#include "utf.h"

namespace orx {

PayloadFile::~PayloadFile() {
  if (file_) std::fclose(file_);
}

int PayloadFile::Open(const std::filesystem::path& path, std::string& error) {
  file_ = OpenFile(path, "rb");
  if (!file_) {
    error = "cannot open " + path.string() + ": " + std::strerror(errno);
    return payload::kStreamFailed;
  }
  stream_ = payload::PayloadStreamOverFile(file_);
  unsigned char start[4] = {};
  size_t got = std::fread(start, 1, 4, file_);
  std::uint32_t signature = static_cast<std::uint32_t>(start[0]) | start[1] << 8 |
                            start[2] << 16 | static_cast<std::uint32_t>(start[3]) << 24;
  offset_ = 0;
  if (got >= 2 && start[0] == 'M' && start[1] == 'Z' && !payload::IsPayloadSignature(signature)) {
    inArchive_ = true;
    offset_ = static_cast<long long>(archive::kPayloadOffset);
  }
  if (stream_.seek(stream_.context, offset_, SEEK_SET) != 0) {
    error = "cannot seek in " + path.string();
    return payload::kStreamFailed;
  }
  int rc = payload::ReadPayloadHeader(&stream_, &header_);
  if (rc != payload::kOk) error = DescribeHeaderFault(rc);
  return rc;
}

bool PayloadFile::NameUtf8(std::string& name) const {
  std::u16string units(reinterpret_cast<const char16_t*>(header_.fileName), header_.nameUnits);
  return Utf16ToUtf8(units, name);
}

}  // namespace orx
