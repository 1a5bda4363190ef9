#include "payload_file.h"

#include <cerrno>
#include <cstring>

#include "archive_layout.h"
#include "payload/payload_crypto.h"
#include "pending_file.h"
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

std::string DescribeHeaderFault(int code) {
  switch (code) {
    case payload::kHeaderTruncated: return "the payload ends inside its header";
    case payload::kBadSignature: return "the payload signature is wrong";
    case payload::kNameTooLong: return "the stored name is longer than 2,046 bytes";
    case payload::kBadKeyBytes: return "the key length is not 16, 24 or 32 bytes";
    case payload::kBadStoredName: return "the stored name is not a plain file name";
    case payload::kPayloadTooShort: return "the payload is too short for its header and digest";
    case payload::kStreamFailed: return "the payload file cannot be measured";
    default: return "the payload header is malformed (code " + std::to_string(code) + ")";
  }
}

}  // namespace orx
