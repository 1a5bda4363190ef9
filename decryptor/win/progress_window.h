// The window a long decryption shows: the product's caption, the stored
// file name, a bar with the share written so far and a Cancel button in the
// dialog's language.
//
// The bar is the system's progress control, so that a screen reader
// announces how far the work is; Windows lays the window out for the DPI
// and draws it in a high-contrast theme's colours. Its class comes from
// comctl32.dll, which is not among the DLLs Windows always takes from its
// system folder: it is loaded from there by its full path, never imported.
// Without it the window shows the name and Cancel and no bar.
//
// It lives on the decrypting thread, which pumps its messages between the
// chunks the output takes (each chunk is 16 KiB: well under a millisecond
// of work, so the window answers at once). One thread keeps the file key,
// the handles and the flow's state where they are, with nothing shared to
// guard, and a Cancel needs no signalling: the next chunk is refused, the
// decryption ends as after a failed write and the caller asks cancelled().
// Work that ends within the threshold never creates the window.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "payload/payload_stream.h"

namespace orx {

class ProgressWindow {
 public:
  // The name and the language code stay the caller's and must outlive this.
  ProgressWindow(const wchar_t* fileName, int language)
      : fileName_(fileName), language_(language) {}
  ~ProgressWindow();  // the window, if shown, goes with the object
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // An output stream over `target` for `total` bytes: each write goes to
  // the target, counts towards the bar and lets the window run; once the
  // recipient cancels (the button, Esc or closing the window) every write
  // takes nothing. Only write is offered: a decryption's output is never
  // read, sought or told. The clock for the threshold starts here.
  payload::PayloadStream Watch(const payload::PayloadStream& target, int64_t total);
  bool cancelled() const { return cancelled_; }

 private:
  static size_t Write(void* context, const void* data, size_t size);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit(HWND window);
  void Tick();

  const wchar_t* fileName_;
  int language_;
  payload::PayloadStream target_ = {};
  uint64_t total_ = 0;
  uint64_t done_ = 0;
  DWORD start_ = 0;
  DWORD lastTick_ = 0;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;  // the progress control, when the window has one
  int shift_ = 0;       // the counts go to the control shifted right by this
  int range_ = 0;       // the total so shifted
  bool cancelled_ = false;
};

}  // namespace orx
