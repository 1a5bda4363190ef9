// One run of an archive at a time.
//
// A recipient who sees nothing happen double-clicks again. A second start of an
// archive whose first run is still placing its files copies nothing: it brings
// the first run's progress window to the front and ends.
//
// The runs of one archive know each other by the archive file's identity, its
// volume's serial number and its file index, which every path and hard link to
// the file shares. It names a mutex in the session's namespace, which the first
// run creates and owns while it places its files, and a property that the first
// run's window carries. A start that finds the mutex already made is a second
// start: it waits on the mutex, showing nothing. Once a window with the
// property is there (the first run shows it once its payload copy has taken
// about a second) the second start gives it the foreground and ends; the second
// start is the program the recipient just started, so Windows lets it hand the
// foreground on. When the first run ends before it shows a window (a short
// archive: its decryptor's dialog comes next) or lets go of the mutex to show a
// message, the second start ends too. A mutex of that name that never goes
// (another program of the session) keeps a start waiting for kMostWaitMs at
// most.
#pragma once

#include <windows.h>

#include "orx/unique_handle.h"

namespace stub {

class ArchiveClaim {
 public:
  // Claims `archive` (open for reading) for this run. False when another
  // run of the same file holds it: a second start. True too when the file's
  // identity cannot be had: that run then goes on unclaimed.
  bool Take(HANDLE archive);
  // The window property that marks this run's window; null when unclaimed.
  const wchar_t* mark() const { return mutex_ ? name_ : nullptr; }
  // For a second start: waits until the first run's window is there and
  // brings it to the front, or until that run lets go.
  void HandOver();
  // Lets go of the claim; a second start waiting for this run then ends.
  void Release();

 private:
  wchar_t name_[48] = {};
  orx::KernelHandle mutex_;
  bool owned_ = false;
};

}  // namespace stub
