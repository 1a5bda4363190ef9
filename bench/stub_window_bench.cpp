// Times what a recipient sees after starting an archive under Wine: from
// the start to the first window (the stub's progress window, or the
// password dialog when the payload is placed within the threshold) and to
// the password dialog. Cancels the dialog, waits for the decryptor and the
// cleanup tool to end, and prints both times in seconds on one line; the
// script sets them beside `cp` of the same archive.
//
//   stub_window_bench ARCHIVE FOLDER
#include <cstdio>
#include <string>

#include "recipient.h"

namespace {

// A visible window of the archive's: the stub's progress window (control
// 1005) or the password dialog (control 1000), by the product's caption.
HWND Shown(int control) {
  for (HWND w = FindWindowW(L"#32770", recipient::kCaption); w;
       w = FindWindowExW(nullptr, w, L"#32770", recipient::kCaption)) {
    if (IsWindowVisible(w) && (!control || GetDlgItem(w, control))) return w;
  }
  return nullptr;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: stub_window_bench ARCHIVE FOLDER\n");
    return 2;
  }
  recipient::WaitForCleanupTools();
  LARGE_INTEGER start, first = {}, dialogAt = {};
  QueryPerformanceCounter(&start);
  orxtest::Process stub = orxtest::Start(L"\"" + std::wstring(argv[1]) + L"\"", argv[2]);
  HWND dialog = nullptr;
  for (DWORD begun = GetTickCount(); !dialog && GetTickCount() - begun < 600000; Sleep(1)) {
    if (!first.QuadPart && Shown(0)) QueryPerformanceCounter(&first);
    dialog = Shown(1000);
  }
  QueryPerformanceCounter(&dialogAt);
  if (!first.QuadPart) first = dialogAt;  // the dialog came between two looks
  int stubExit = orxtest::WaitExit(stub, 60000);
  orxtest::Close(stub);
  if (!dialog || stubExit != 0) {
    std::fprintf(stderr, "no password dialog (the stub's exit code %d)\n", stubExit);
    return 1;
  }
  orxtest::PressButton(dialog, IDCANCEL);
  orxtest::WaitForWindowGone(dialog, 10000);
  for (int i = 0; i < 100 && recipient::CountProcesses(L"Orx_DecryptFile.exe") > 0; ++i) Sleep(100);
  recipient::WaitForCleanupTools();
  std::printf("%.3f %.3f\n", Seconds(start, first), Seconds(start, dialogAt));
  return 0;
}
