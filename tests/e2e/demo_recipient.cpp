// The README's main job, seen from the recipient's chair: runs an archive
// in a folder, types the password into the dialog, answers "No" to opening
// the file, and checks the decrypted file against the original.
//
//   orx_demo_recipient ARCHIVE FOLDER PASSWORD ORIGINAL [SCREENSHOT.bmp]
//
// Exit code 0 when the file came out identical, 1 otherwise.
#include <cstdio>

#include "recipient.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: orx_demo_recipient ARCHIVE FOLDER PASSWORD ORIGINAL [SHOT]\n");
    return 2;
  }
  std::wstring archive = argv[1], folder = argv[2], password = argv[3], original = argv[4];
  recipient::WaitForCleanupTools();

  recipient::ArchiveRun run(archive, folder);
  if (!run.ok()) {
    std::printf("FAIL: the archive did not show its password dialog\n");
    return 1;
  }
  std::printf("password dialog: \"%s\"\n", orxtest::WideToUtf8(orxtest::WindowText(run.dialog())).c_str());
  run.EnterPassword(password);
  HWND box = nullptr;
  orxtest::MessageBoxInfo info = run.NextMessage(&box);
  if (argc > 5 && box) orxtest::SaveScreenshot(box, argv[5]);
  std::printf("message: \"%s\"\n", orxtest::WideToUtf8(info.text).c_str());
  if (box) orxtest::PressButton(box, IDNO);
  run.WaitForEnd();

  std::wstring name = original.substr(original.find_last_of(L"\\/") + 1);
  auto got = orxtest::ReadBytes(folder + L"\\" + name);
  auto want = orxtest::ReadBytes(original);
  bool same = !want.empty() && got == want;
  std::printf("%s: %s (%zu bytes) %s the original\n", same ? "OK" : "FAIL",
              orxtest::WideToUtf8(name).c_str(), got.size(), same ? "matches" : "differs from");
  recipient::WaitForCleanupTools();
  std::printf("decryptor removed by the cleanup tool: %s\n",
              orxtest::FileExists(folder + L"\\Orx_DecryptFile.exe") ? "no" : "yes");
  return same ? 0 : 1;
}
