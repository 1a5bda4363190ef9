// Where a command writes its output: a file that appears only once complete
// (PendingFile), or standard output ("-"), which takes the bytes as they
// come; a caller that must not give out unverified bytes writes there only
// what it has verified.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "pending_file.h"

namespace orx {

class OutputFile {
 public:
  // As PendingFile::Open, or standard output for "-".
  bool Open(const std::filesystem::path& target, bool replace, bool shared,
            std::string& error);
  std::FILE* file() const;
  // PendingFile::Commit, or for standard output a flush: false with `error`
  // when it did not take every byte.
  bool Commit(std::string& error);
  bool targetExists() const { return pending_.targetExists(); }
  bool committed() const { return standard_ ? committed_ : pending_.committed(); }
  bool toStandardOutput() const { return standard_; }

 private:
  PendingFile pending_;
  bool standard_ = false;
  bool committed_ = false;
};

}  // namespace orx
