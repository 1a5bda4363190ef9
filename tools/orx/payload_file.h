// Opening a payload for reading, bare or at the end of an archive, and
// reading its header.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "payload/payload_header.h"

namespace orx {

class PayloadFile {
 public:
  PayloadFile() = default;
  PayloadFile(const PayloadFile&) = delete;
  PayloadFile& operator=(const PayloadFile&) = delete;
  ~PayloadFile();

  // Opens the file and finds the payload: at 0 when the file starts with a
  // payload signature, at the payload offset when it is an archive (starts
  // with "MZ" and reaches past the slots). Then reads the header. Returns
  // payload::kOk or the header's fault; false-y results other than kOk from
  // opening are reported as kStreamFailed with `error` set.
  int Open(const std::filesystem::path& path, std::string& error);

  std::FILE* file() const { return file_; }
  payload::PayloadStream& stream() { return stream_; }
  const payload::PayloadHeader& header() const { return header_; }
  long long offset() const { return offset_; }
  bool inArchive() const { return inArchive_; }
  // The stored name as UTF-8; false for a name that is not valid UTF-16.
  bool NameUtf8(std::string& name) const;

 private:
  std::FILE* file_ = nullptr;
  payload::PayloadStream stream_{};
  payload::PayloadHeader header_{};
  long long offset_ = 0;
  bool inArchive_ = false;
};

}  // namespace orx
