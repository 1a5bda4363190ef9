// Opening a payload for reading, bare or at the end of an archive, and
// reading its header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "orx/unique_handle.h"
#include "payload/payload_header.h"

namespace orx {

class PayloadFile {
 public:
  enum class Where {
    kPayloadOrArchive,  // a bare payload, or an archive (it starts with "MZ")
    kBarePayload,       // a bare payload only
  };
  enum class Result {
    kOk,
    kIoFailure,    // cannot open or read it; the message has the OS reason
    kMalformed,    // a damaged payload or archive, or one cut short
    kNotThisKind,  // no payload or archive at all: another Windows program,
                   // or a file without a payload's signature
  };

  PayloadFile() = default;
  PayloadFile(const PayloadFile&) = delete;
  PayloadFile& operator=(const PayloadFile&) = delete;

  // Opens the file ("-": standard input; see OpenInput), finds the payload
  // (at 0, or at the payload offset of an archive: a file that starts with
  // "MZ" and has a program at the start of each slot) and reads its header.
  // Every result but kOk sets `error` to a sentence that names the file and
  // what is wrong; the fields read so far are kept.
  Result Open(const std::filesystem::path& path, Where where, std::string& error);
  // `size` bytes at `at` (an archive's programs: from 0), read exactly;
  // false when the file ends first or a read fails.
  bool ReadAt(std::int64_t at, std::size_t size, std::string& bytes);
  std::uint64_t fileBytes() const { return fileBytes_; }

  std::FILE* file() const { return file_.get(); }
  // Reads from the file. A read error is reported by every read from then
  // on (a result of payload::kReadFailed); readError() is its errno.
  payload::PayloadStream& stream() { return stream_; }
  // From here on the stream reads ahead in blocks of `bytes` and lends what
  // it read in place (PayloadStream::view), so that decrypting a large
  // payload costs neither a copy nor a system call per chunk. False, and
  // reading as before, when the memory cannot be had.
  bool ReadAhead(size_t bytes);
  int readError() const { return readError_; }
  const payload::PayloadHeader& header() const { return header_; }
  // The header reader's result (payload::kOk or its fault) once it ran.
  int headerResult() const { return headerResult_; }
  long long offset() const { return offset_; }
  bool inArchive() const { return inArchive_; }
  // The stored name as UTF-8; false for a name that is not valid UTF-16.
  bool NameUtf8(std::string& name) const;
  // The stored name for display, with control characters escaped.
  std::string NameForDisplay() const;

 private:
  static int Read(void* context, void* buffer, size_t size, size_t* got);
  static int Seek(void* context, int64_t offset, int origin);
  static int64_t Tell(void* context);
  static const void* View(void* context, size_t size);
  int ReadFile(void* buffer, size_t size, size_t* got);
  Result FindPayload(Where where, const std::string& name, std::string& error);
  Result ReadHeader(const std::string& name, std::string& error);

  CFile file_;
  payload::PayloadStream fileStream_{};  // the C runtime file as a stream
  payload::PayloadStream stream_{};      // the same, read ahead when asked
  payload::PayloadHeader header_{};
  int headerResult_ = -1;
  int readError_ = 0;
  long long offset_ = 0;
  bool inArchive_ = false;
  std::uint64_t fileBytes_ = 0;
  // Read ahead and not yet taken: ahead_[aheadAt_, aheadEnd_).
  std::unique_ptr<unsigned char[]> ahead_;
  size_t aheadCapacity_ = 0;
  size_t aheadAt_ = 0;
  size_t aheadEnd_ = 0;
};

}  // namespace orx
