#include "payload_file.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "orx/archive/layout.h"
#include "display_text.h"
#include "header_fault.h"
#include "platform.h"
#include "standard_streams.h"
#include "utf.h"

namespace orx {

namespace {

std::uint32_t LittleEndian32(const std::string& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

}  // namespace

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

bool PayloadFile::ReadAt(std::int64_t at, std::size_t size, std::string& bytes) {
  bytes.assign(size, '\0');
  size_t got = 0;
  return stream_.seek(stream_.context, at, SEEK_SET) == 0 &&
         stream_.read(stream_.context, &bytes[0], size, &got) == 0 && got == size;
}

PayloadFile::Result PayloadFile::Open(const std::filesystem::path& path, Where where,
                                      std::string& error) {
  const std::string name = InputName(path);
  file_ = OpenInput(path, error);
  if (!file_) return Result::kIoFailure;
  platform::FileFacts facts;
  if (!platform::FactsOfFile(file_.get(), facts)) {
    error = "cannot examine " + name + ": " + std::strerror(errno);
    return Result::kIoFailure;
  }
  fileBytes_ = facts.size;
  fileStream_ = payload::PayloadStreamOverFile(file_.get());
  stream_ = fileStream_;
  stream_.context = this;
  stream_.read = Read;
  stream_.seek = Seek;
  stream_.tell = Tell;
  Result found = FindPayload(where, name, error);
  if (found != Result::kOk) return found;
  if (stream_.seek(stream_.context, offset_, SEEK_SET) != 0) {
    error = "cannot seek in " + name + ": " + std::strerror(errno);
    return Result::kIoFailure;
  }
  return ReadHeader(name, error);
}

// Where the payload starts: at 0, or behind an archive's programs. An
// archive is told from any other Windows program by the programs at the
// start of its slots.
PayloadFile::Result PayloadFile::FindPayload(Where where, const std::string& name,
                                             std::string& error) {
  std::string start;
  if (!ReadAt(0, 4, start)) {
    error = readError_        ? "cannot read " + name + ": " + std::strerror(readError_)
            : fileBytes_ == 0 ? name + " is empty"
                              : "truncated payload: " + name + " ends inside its signature";
    return readError_ ? Result::kIoFailure : Result::kMalformed;
  }
  offset_ = 0;
  if (start.compare(0, 2, "MZ") != 0 || payload::IsPayloadSignature(LittleEndian32(start))) {
    return Result::kOk;
  }
  if (where == Where::kBarePayload) {
    error = name + " is a Windows program (an archive, or another), not a bare payload";
    return Result::kNotThisKind;
  }
  std::string slot;
  const bool cleanup = ReadAt(archive::kCleanupOffset, 2, slot) && slot == "MZ";
  const bool decryptor = ReadAt(archive::kDecryptorOffset, 2, slot) && slot == "MZ";
  const bool cut = fileBytes_ < archive::kPayloadOffset;
  if (!cleanup || (!decryptor && !cut)) {
    error = name + " is a Windows program, but not an archive of this kind: it carries no "
            "program in the archive's slots" +
            (cut ? " (or it is one cut short inside its stub)" : "");
    return Result::kNotThisKind;
  }
  inArchive_ = true;
  offset_ = static_cast<long long>(archive::kPayloadOffset);
  if (cut || fileBytes_ == archive::kPayloadOffset) {
    error = "truncated archive: " + name + " is " + std::to_string(fileBytes_) +
            " bytes, " + (cut ? "shorter than" : "only") + " the " +
            std::to_string(archive::kPayloadOffset) +
            " bytes of its programs, and holds no payload";
    return Result::kMalformed;
  }
  return Result::kOk;
}

PayloadFile::Result PayloadFile::ReadHeader(const std::string& name, std::string& error) {
  headerResult_ = payload::ReadPayloadHeader(&stream_, &header_);
  const std::string kind = inArchive_ ? "archive" : "payload";
  switch (headerResult_) {
    case payload::kOk:
      return Result::kOk;
    case payload::kReadFailed:
      error = "cannot read " + name + ": " + std::strerror(readError_);
      return Result::kIoFailure;
    case payload::kBadSignature:
      // Format 1's family with a low byte it refuses is one of ours, damaged.
      if (inArchive_ || (header_.signature >> 8) == (payload::kPayloadSignature >> 8)) break;
      error = name + " is not an archive or payload of this kind: it starts with no payload's "
                     "signature and is no Windows program";
      return Result::kNotThisKind;
    case payload::kHeaderTruncated:
    case payload::kPayloadTooShort:
      error = "truncated " + kind + ": " + name +
              (headerResult_ == payload::kHeaderTruncated
                   ? " ends inside the payload's header"
                   : " ends before the end of the digest or tag behind the payload's header") +
              " (" + std::to_string(fileBytes_ - static_cast<std::uint64_t>(offset_)) +
              " bytes of payload)";
      return Result::kMalformed;
    case payload::kBadStoredName:
      error = "malformed " + kind + ": " + DescribeNameFault(
          reinterpret_cast<const char16_t*>(header_.fileName), header_.nameUnits);
      return Result::kMalformed;
    case payload::kBadCost:
      error = "malformed " + kind + ": " + DescribeHeaderFault(headerResult_) + ": " +
              std::to_string(header_.iterations);
      return Result::kMalformed;
    default:
      break;
  }
  error = "malformed " + kind + ": " + DescribeHeaderFault(headerResult_);
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
