#include "payload_file.h"

#include <cerrno>
#include <cstring>

#include "archive_layout.h"
#include "display_text.h"
#include "header_fault.h"
#include "platform.h"
#include "payload/payload_crypto.h"
#include "utf.h"

namespace orx {

size_t PayloadFile::Read(void* context, void* buffer, size_t size) {
  auto* self = static_cast<PayloadFile*>(context);
  errno = 0;
  size_t got = self->fileStream_.read(self->fileStream_.context, buffer, size);
  if (got < size && std::ferror(self->file_.get())) self->readError_ = errno ? errno : EIO;
  return got;
}

int PayloadFile::Seek(void* context, int64_t offset, int origin) {
  auto* self = static_cast<PayloadFile*>(context);
  return self->fileStream_.seek(self->fileStream_.context, offset, origin);
}

int64_t PayloadFile::Tell(void* context) {
  auto* self = static_cast<PayloadFile*>(context);
  return self->fileStream_.tell(self->fileStream_.context);
}

PayloadFile::Result PayloadFile::Open(const std::filesystem::path& path, Where where,
                                      std::string& error) {
  const std::string name = path.u8string();
  file_.reset(platform::OpenFile(path, "rb"));
  if (!file_) {
    error = "cannot open " + name + ": " + std::strerror(errno);
    return Result::kIoFailure;
  }
  platform::FileFacts facts;
  if (!platform::FactsOfFile(file_.get(), facts)) {
    error = "cannot examine " + name + ": " + std::strerror(errno);
    return Result::kIoFailure;
  }
  if (!facts.regular) {
    error = name + " is not a regular file (a pipe, device or folder): orx reads a payload "
            "from a file it can seek in, since its length is known only from the end";
    return Result::kNotSeekable;
  }
  fileStream_ = payload::PayloadStreamOverFile(file_.get());
  stream_ = fileStream_;
  stream_.context = this;
  stream_.read = Read;
  stream_.seek = Seek;
  stream_.tell = Tell;
  unsigned char start[4] = {};
  size_t got = stream_.read(this, start, 4);
  if (readError_) {
    error = "cannot read " + name + ": " + std::strerror(readError_);
    return Result::kIoFailure;
  }
  if (got == 0) {
    error = name + " is empty";
    return Result::kMalformed;
  }
  std::uint32_t signature = static_cast<std::uint32_t>(start[0]) | start[1] << 8 |
                            start[2] << 16 | static_cast<std::uint32_t>(start[3]) << 24;
  offset_ = 0;
  if (where == Where::kPayloadOrArchive && got >= 2 && start[0] == 'M' && start[1] == 'Z' &&
      !payload::IsPayloadSignature(signature)) {
    inArchive_ = true;
    offset_ = static_cast<long long>(archive::kPayloadOffset);
    if (facts.size < archive::kPayloadOffset) {
      error = "truncated archive: " + name + " is " + std::to_string(facts.size) +
              " bytes, shorter than the " + std::to_string(archive::kPayloadOffset) +
              " bytes of its programs, and holds no payload";
      return Result::kMalformed;
    }
    if (facts.size == archive::kPayloadOffset) {
      error = "the archive " + name + " holds no payload: it ends after its programs";
      return Result::kMalformed;
    }
  }
  if (stream_.seek(stream_.context, offset_, SEEK_SET) != 0) {
    error = "cannot seek in " + name + ": " + std::strerror(errno);
    return Result::kIoFailure;
  }
  headerResult_ = payload::ReadPayloadHeader(&stream_, &header_);
  if (headerResult_ == payload::kOk) return Result::kOk;
  if (readError_) {
    error = "cannot read " + name + ": " + std::strerror(readError_);
    return Result::kIoFailure;
  }
  if (headerResult_ == payload::kHeaderTruncated) {
    error = std::string(inArchive_ ? "truncated archive: " : "truncated payload: ") + name +
            " ends inside the payload header (" +
            std::to_string(facts.size - static_cast<std::uint64_t>(offset_)) +
            " bytes of payload)";
  } else if (headerResult_ == payload::kBadStoredName) {
    error = DescribeHeaderFault(headerResult_) + ": \"" + NameForDisplay() + "\"";
  } else {
    error = DescribeHeaderFault(headerResult_);
  }
  return Result::kMalformed;
}

bool PayloadFile::NameUtf8(std::string& name) const {
  std::u16string units(reinterpret_cast<const char16_t*>(header_.fileName), header_.nameUnits);
  return Utf16ToUtf8(units, name);
}

std::string PayloadFile::NameForDisplay() const {
  return DisplayText(reinterpret_cast<const char16_t*>(header_.fileName), header_.nameUnits);
}

}  // namespace orx
