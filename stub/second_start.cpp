#include "second_start.h"

#include "orx/wide_text.h"

namespace stub {

namespace {

// How long a second start waits at most, and how often it looks for the
// first run's window meanwhile. The first run shows its window about a
// second into its payload copy, which begins later when it waits for files
// of an earlier run that are in use (a few seconds each).
constexpr DWORD kMostWaitMs = 30000;
constexpr DWORD kLookEveryMs = 100;

// Writes `value` as eight hexadecimal digits; returns the end.
wchar_t* PutHex(wchar_t* at, DWORD value) {
  for (int shift = 28; shift >= 0; shift -= 4) {
    unsigned digit = (value >> shift) & 0xF;
    *at++ = static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'A' - 10 + digit);
  }
  return at;
}

}  // namespace

bool ArchiveClaim::Take(HANDLE archive) {
  BY_HANDLE_FILE_INFORMATION file;
  if (!GetFileInformationByHandle(archive, &file)) return true;
  // "Local\Tarrow-" and 24 hexadecimal digits: the volume, the file.
  orx::CopyWide(name_, ARRAYSIZE(name_), L"Local\\Tarrow-");
  wchar_t* end = name_ + orx::WideLength(name_);
  end = PutHex(PutHex(PutHex(end, file.dwVolumeSerialNumber), file.nFileIndexHigh),
               file.nFileIndexLow);
  *end = 0;
  mutex_.reset(CreateMutexW(nullptr, TRUE, name_));
  if (!mutex_) return true;  // the name is some other object's: unclaimed
  owned_ = GetLastError() != ERROR_ALREADY_EXISTS;
  return owned_;
}

void ArchiveClaim::HandOver() {
  for (DWORD waited = 0; waited < kMostWaitMs; waited += kLookEveryMs) {
    const wchar_t* dialogs = MAKEINTATOM(0x8002);  // the dialog class, #32770
    for (HWND window = FindWindowExW(nullptr, nullptr, dialogs, nullptr); window;
         window = FindWindowExW(nullptr, window, dialogs, nullptr)) {
      if (GetPropW(window, name_)) {
        SetForegroundWindow(window);
        return;
      }
    }
    DWORD waitedFor = WaitForSingleObject(mutex_.get(), kLookEveryMs);
    if (waitedFor == WAIT_OBJECT_0 || waitedFor == WAIT_ABANDONED) {
      ReleaseMutex(mutex_.get());
      return;
    }
  }
}

void ArchiveClaim::Release() {
  if (owned_) ReleaseMutex(mutex_.get());
  owned_ = false;
  mutex_.reset();
}

}  // namespace stub
