// The window a long decryption shows: the product's caption, the stored
// file name, a bar with the share written so far and a Cancel button in the
// dialog's language.
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

#include "color_label.h"
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
  int barWidth_ = 0;  // the bar's full width, in pixels
  int barHeight_ = 0;
  int shownWidth_ = 0;
  bool cancelled_ = false;
  ColorLabel bar_;  // last: large, and reached least
};

}  // namespace orx
