// The window a long placement of the payload shows, in the style of the
// decryptor's progress window: the product's caption, the archive's file
// name, a bar with the share placed so far and Cancel in the system's
// language (the decryptor's own label).
//
// Short work shows nothing: the window is made only while the payload is
// walked (written, or compared with a copy in use) and once that has taken
// about a second; a wait for files of an earlier run before it shows
// nothing, as before. It lives on the stub's one thread, which lets it run
// between the chunks of the walk (64 KiB each, well under a millisecond of
// work), so Cancel needs no signalling: the next chunk stops the walk
// (place_file.h) and the run ends as cancelled.
//
// Nothing in it is sized in pixels: the template lays it out in dialog
// units and the bar is drawn over its control's rectangle as it is at the
// time, so the window follows the DPI it is made for, and a move to a
// monitor of another scale once the manifest declares per-monitor
// awareness (the dialog manager then rescales a template's dialog and its
// font; the next look after the window redraws the bar at its new width).
#pragma once

#include <windows.h>

#include "place_file.h"

namespace stub {

class ProgressWindow : public Progress {
 public:
  ProgressWindow();
  ~ProgressWindow() { Close(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // What the window shows: the archive's full path (its file name is
  // shown) and the payload's size; `mark` names the window property by
  // which a second start of the archive finds the window (second_start.h),
  // none when null. The texts stay the caller's.
  void Describe(const wchar_t* archivePath, ULONGLONG total, const wchar_t* mark) {
    archivePath_ = archivePath;
    total_ = total;
    mark_ = mark;
  }
  bool cancelled() const { return cancelled_; }
  // The window goes, if it was shown.
  void Close();

 private:
  static bool Advance(Progress* self, ULONGLONG walked);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Tick();
  void OnInit(HWND window);
  void DrawBar(const DRAWITEMSTRUCT& item) const;
  // Of `width` pixels, those that stand for the share walked.
  int Filled(int width) const;

  const wchar_t* archivePath_ = L"";
  const wchar_t* mark_ = nullptr;
  ULONGLONG total_ = 0;
  ULONGLONG walked_ = 0;
  DWORD start_ = 0;  // the first chunk walked
  DWORD lastTick_ = 0;
  HWND window_ = nullptr;
  int shownFilled_ = 0;
  bool started_ = false;
  bool gaveUp_ = false;  // the window could not be made: the work goes on without one
  bool cancelled_ = false;
};

}  // namespace stub
