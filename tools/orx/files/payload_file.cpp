#include "payload_file.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "orx/archive/layout.h"
#include "display_text.h"
#include "header_fault.h"
#include "platform.h"
#include "utf.h"

namespace orx {

int PayloadFile::ReadFile(void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (!readError_) readError_ = fileStream_.read(fileStream_.context, buffer, size, got);
  return readError_;
}

int PayloadFile::Read(void* context, void* buffer, size_t size, size_t* got) {
  auto* self = static_cast<PayloadFile*>(context);
  size_t lent = self->aheadEnd_ - self->aheadAt_;
  if (lent > size) lent = size;
  if (lent) std::memcpy(buffer, self->ahead_.get() + self->aheadAt_, lent);
  self->aheadAt_ += lent;
  *got = lent;
  if (lent == size) return 0;
  size_t more = 0;
  int error = self->ReadFile(static_cast<unsigned char*>(buffer) + lent, size - lent, &more);
  *got += more;
  return error;
}

const void* PayloadFile::View(void* context, size_t size) {
  auto* self = static_cast<PayloadFile*>(context);
  if (size > self->aheadCapacity_) return nullptr;
  if (self->aheadEnd_ - self->aheadAt_ < size) {
    unsigned char* ahead = self->ahead_.get();
    size_t kept = self->aheadEnd_ - self->aheadAt_;
    std::memmove(ahead, ahead + self->aheadAt_, kept);
    self->aheadAt_ = 0;
    size_t got = 0;
    self->ReadFile(ahead + kept, self->aheadCapacity_ - kept, &got);
    self->aheadEnd_ = kept + got;
    // read() takes what there is, and reports the error, if any.
    if (self->aheadEnd_ < size) return nullptr;
  }
  const unsigned char* lent = self->ahead_.get() + self->aheadAt_;
  self->aheadAt_ += size;
  return lent;
}

int PayloadFile::Seek(void* context, int64_t offset, int origin) {
  auto* self = static_cast<PayloadFile*>(context);
  self->aheadAt_ = self->aheadEnd_ = 0;
  return self->fileStream_.seek(self->fileStream_.context, offset, origin);
}

int64_t PayloadFile::Tell(void* context) {
  auto* self = static_cast<PayloadFile*>(context);
  int64_t at = self->fileStream_.tell(self->fileStream_.context);
  return at < 0 ? at : at - static_cast<int64_t>(self->aheadEnd_ - self->aheadAt_);
}

bool PayloadFile::ReadAhead(size_t bytes) {
  ahead_.reset(new (std::nothrow) unsigned char[bytes]);
  aheadCapacity_ = ahead_ ? bytes : 0;
  aheadAt_ = aheadEnd_ = 0;
  stream_.view = ahead_ ? View : nullptr;
  return ahead_ != nullptr;
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
  size_t got = 0;
  if (int failed = stream_.read(this, start, 4, &got)) {
    error = "cannot read " + name + ": " + std::strerror(failed);
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
  if (headerResult_ == payload::kReadFailed) {
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
  } else if (headerResult_ == payload::kBadCost) {
    error = DescribeHeaderFault(headerResult_) + ": " + std::to_string(header_.iterations);
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
