// An output file that appears under its final name only when it is complete.
//
// The bytes go to a new, exclusively created file beside the target; Commit()
// moves it into place, and a PendingFile destroyed without a successful Commit
// removes it, so a failed command leaves nothing behind.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace orx {

class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  // Creates the temporary file. False with `error` set when it cannot.
  bool Open(const std::filesystem::path& target, std::string& error);
  std::FILE* file() const { return file_; }
  // Flushes, closes and moves the file to the target. Without `replace` an
  // existing target is never overwritten (the commit fails instead). False
  // with `error` set; the temporary file is then removed.
  bool Commit(bool replace, std::string& error);

 private:
  void Discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
};

}  // namespace orx
