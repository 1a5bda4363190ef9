// An output file that appears under its final name only when it is complete.
//
// The bytes go to a new, exclusively created temporary file beside the
// target; Commit() moves it into place, and a PendingFile destroyed without a
// successful Commit removes it (as does an interrupt), so a failed or
// interrupted command leaves nothing behind.
//
// Without `replace` an existing target is never overwritten, on any
// filesystem; how the platform keeps that promise is chosen by Open(), before
// any data is written (platform::OutputMove).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "orx/unique_handle.h"
#include "platform.h"

namespace orx {

class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  // Creates the temporary file for `target`; `replace` lets Commit replace an
  // existing target; a `shared` file may be read by others as the umask
  // allows (an archive or payload), any other is the user's alone
  // (platform::CreateExclusive). False with `error` set, naming the target
  // (and targetExists() when that was the reason).
  bool Open(const std::filesystem::path& target, bool replace, bool shared,
            std::string& error);
  std::FILE* file() const { return file_.get(); }
  // Flushes the file to the disk, closes it, moves it to the target and
  // flushes the folder, so that success means the target survives a power
  // cut. False with `error` set: the temporary file is then removed and the
  // target left as it was, unless committed() (only the folder's flush
  // failed: the target has its new content, which may not be durable).
  bool Commit(std::string& error);
  // Whether the last failure was a target that exists (without `replace`).
  bool targetExists() const { return targetExists_; }
  // Whether the file has taken the target's name.
  bool committed() const { return committed_; }

  // The longest file name (bytes of UTF-8) the temporary name may have: the
  // limit of common filesystems. The target's name is shortened in the
  // temporary name to keep within it; the target keeps its name.
  static constexpr size_t kNameLimit = 255;

 private:
  bool CreateTemporary(bool shared, std::string& error);
  void Discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  CFile file_;
  bool targetExists_ = false;
  bool committed_ = false;
  platform::RemovalOnInterrupt tempRemoval_;
  platform::OutputMove move_;
};

// A name for a temporary file beside `target`: the target's name, shortened
// at a character boundary where needed, then ".orx-<token>.part", within
// PendingFile::kNameLimit bytes.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target,
                                       const std::string& token);

}  // namespace orx
