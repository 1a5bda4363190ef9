// The files one run of the stub wrote, so that a run that ends without
// starting the decryptor (a failure, or the recipient's Cancel) takes them
// back and leaves none of its files behind. Files it kept (an earlier run's,
// in use, already holding the same bytes) are not its own and stay.
//
// Header-only and without the C runtime, for the stub: kept in static
// storage, which starts zeroed, it needs no constructor (a program without
// the C runtime runs none).
#pragma once

#include <windows.h>

#include "orx/wide_text.h"

namespace stub {

class RunFiles {
 public:
  // Remembers a file this run wrote (the path, of less than MAX_PATH units,
  // is copied).
  void Add(const wchar_t* path) {
    if (count_ < kMost) orx::CopyWide(paths_[count_++], MAX_PATH, path);
  }
  // Removes every file remembered, last written first. A file still held
  // open by this run must be let go of first.
  void RemoveAll() {
    while (count_ > 0) DeleteFileW(paths_[--count_]);
  }

 private:
  // The decryptor, a cleanup tool in each of the two folders the companions
  // may go to, and the payload.
  static constexpr int kMost = 4;
  wchar_t paths_[kMost][MAX_PATH];
  int count_;
};

}  // namespace stub
