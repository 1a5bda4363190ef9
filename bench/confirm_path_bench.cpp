// Times the decryptor's confirm path under Wine: runs the archive, types
// the password, and measures from Enter to the success question (key
// derivation, the check, the streamed decryption with its digest, putting
// the file in place). Prints the seconds; the script compares them with
// `orx unpack` on the same payload.
//
//   confirm_path_bench ARCHIVE FOLDER PASSWORD
#include <cstdio>

#include "recipient.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: confirm_path_bench ARCHIVE FOLDER PASSWORD\n");
    return 2;
  }
  recipient::WaitForCleanupTools();
  recipient::ArchiveRun run(argv[1], argv[2]);
  if (!run.ok()) {
    std::fprintf(stderr, "no password dialog\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  orxtest::TypeText(run.passwordBox(), argv[3]);
  QueryPerformanceCounter(&start);
  orxtest::PressKey(run.passwordBox(), VK_RETURN);
  HWND box = nullptr;
  orxtest::MessageBoxInfo info = run.NextMessage(&box, 600000);
  QueryPerformanceCounter(&end);
  if (!box) {
    std::fprintf(stderr, "no message\n");
    return 1;
  }
  orxtest::PressButton(box, IDNO);
  run.WaitForEnd();
  bool decrypted = info.buttons.size() == 2;  // the success question has Yes and No
  std::printf("%.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  recipient::WaitForCleanupTools();
  return decrypted ? 0 : 1;
}
