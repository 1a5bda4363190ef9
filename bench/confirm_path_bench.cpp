// Times the decryptor's confirm path under Wine: runs the archive, types
// the password, and measures from Enter to the success question (key
// derivation, the check, the streamed decryption with its digest or tag,
// putting the file in place), or with --first-byte from Enter to the first
// decrypted byte in the temporary output (the key derivation and the
// check: what a recipient waits for before anything is written). Prints
// the seconds; the script compares them with `orx unpack` on the same
// payload, and the formats with each other.
//
//   confirm_path_bench ARCHIVE FOLDER PASSWORD [--first-byte]
#include <cstdio>
#include <cwchar>
#include <string>

#include "recipient.h"

namespace {

// Whether a temporary output (orx*.tmp) in the folder holds a byte yet.
bool OutputBegun(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\orx*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool begun = false;
  do begun = begun || found.nFileSizeLow || found.nFileSizeHigh;
  while (!begun && FindNextFileW(search, &found));
  FindClose(search);
  return begun;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool firstByte = argc == 5 && std::wcscmp(argv[4], L"--first-byte") == 0;
  if (argc != 4 && !firstByte) {
    std::fprintf(stderr, "usage: confirm_path_bench ARCHIVE FOLDER PASSWORD [--first-byte]\n");
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
  bool begun = false;
  if (firstByte) {
    for (DWORD waited = GetTickCount(); !begun && GetTickCount() - waited < 600000;) {
      begun = OutputBegun(argv[2]);
      if (!begun) Sleep(1);
    }
    QueryPerformanceCounter(&end);
  }
  HWND box = nullptr;
  orxtest::MessageBoxInfo info = run.NextMessage(&box, 600000);
  if (!firstByte) QueryPerformanceCounter(&end);
  if (!box || (firstByte && !begun)) {
    std::fprintf(stderr, box ? "no decrypted byte seen\n" : "no message\n");
    return 1;
  }
  orxtest::PressButton(box, IDNO);
  run.WaitForEnd();
  bool decrypted = info.buttons.size() == 2;  // the success question has Yes and No
  std::printf("%.3f\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
  recipient::WaitForCleanupTools();
  return decrypted ? 0 : 1;
}
