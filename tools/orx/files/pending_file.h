// An output file that appears under its final name only when it is complete.
//
// The bytes go to a new, exclusively created temporary file beside the
// target; Commit() moves it into place, and a PendingFile destroyed without a
// successful Commit removes it (as does an interrupt, see interrupt.h), so a
// failed or interrupted command leaves nothing behind.
//
// Without `replace` an existing target is never overwritten, on any
// filesystem. How, is decided by Open() before any data is written, so that a
// commit does not fail after all the work for a reason known at the start:
//   1. link() the temporary file to the target (fails if the target exists);
//   2. where hard links are refused (FAT, exFAT, many network and FUSE
//      mounts), rename with RENAME_NOREPLACE;
//   3. where that is refused too, create the target exclusively as an empty
//      placeholder now, and at the commit rename the temporary file over it
//      once it has been checked to be still the placeholder (same device
//      and inode). The race left: a file put in the placeholder's place
//      between that check and the rename is replaced. Only a process that
//      removes a file orx has just created can get there.
// On Windows, MoveFileExW without MOVEFILE_REPLACE_EXISTING is the no-replace
// move on every filesystem.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "output_guard.h"

namespace orx {

class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile();

  // Creates the temporary file for `target`; `replace` lets Commit replace an
  // existing target. False with `error` set (and targetExists() when that was
  // the reason).
  bool Open(const std::filesystem::path& target, bool replace, std::string& error);
  std::FILE* file() const { return file_; }
  // Flushes, closes and moves the file to the target. False with `error`
  // set; the temporary file is then removed and the target left as it was.
  bool Commit(std::string& error);
  // Whether the last failure was a target that exists (without `replace`).
  bool targetExists() const { return targetExists_; }

  // The longest file name (bytes of UTF-8) the temporary name may have: the
  // limit of common filesystems. The target's name is shortened in the
  // temporary name to keep within it; the target keeps its name.
  static constexpr size_t kNameLimit = 255;

 private:
  enum class Move { kReplace, kLink, kRenameNoReplace, kOverPlaceholder };

  bool CreateTemporary(std::string& error);
  bool ChooseNoReplaceMove(std::string& error);
  bool MoveIntoPlace(std::string& error);
  bool PlaceholderStillOurs() const;
  void SetTemporary(const std::filesystem::path& path);
  void Discard();

  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
  Move move_ = Move::kReplace;
  bool targetExists_ = false;
  int tempSlot_ = -1;
  int placeholderSlot_ = -1;
  int placeholderFd_ = -1;
  FileFacts placeholder_;
};

// A name for a temporary file beside `target`: the target's name, shortened
// at a character boundary where needed, then ".orx-<token>.part", within
// PendingFile::kNameLimit bytes.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target,
                                       const std::string& token);

}  // namespace orx
