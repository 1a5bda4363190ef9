// A recipient who runs a self-decrypting archive, as a test or the demo
// needs one: starts the archive in a folder, waits for the password dialog,
// types, presses, reads and answers the message boxes, and waits for the
// decryptor and the cleanup tools to end.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "orxtest/driver.h"

namespace recipient {

constexpr wchar_t kCaption[] = L"Tavrel Orvanta Management";

// The payload copies of runs (each named "Orx_Decrypt_<8 hex digits>.tmp")
// in the Windows folder's temp subfolder and the recipient's own folder.
std::vector<std::wstring> PayloadFiles();
std::wstring CleanupTool();    // <Windows folder>\Orx_DelTool.exe

// The archive needs nothing installed: the path of a libcrypto DLL found in
// the system folders or beside the test programs, or empty when none is.
std::wstring CryptoLibraryFound();

// Runs `orx.exe` (beside this program) with the arguments; its exit code.
int RunOrx(const std::wstring& arguments, const std::wstring& passwordFile = L"");

class ArchiveRun {
 public:
  // Starts the archive in `folder` and waits for the stub to end (exit 0)
  // and the password dialog to show. ok() tells whether both happened.
  ArchiveRun(const std::wstring& archive, const std::wstring& folder);
  // The decryptor whose password dialog this is, started some other way.
  explicit ArchiveRun(HWND dialog);
  ~ArchiveRun();

  bool ok() const { return dialog_ != nullptr; }
  HWND dialog() const { return dialog_; }
  DWORD pid() const { return pid_; }
  HWND passwordBox() const { return GetDlgItem(dialog_, 1000); }

  // Types the password as keystrokes, or sets it at once (for texts the box
  // would not take by typing), then presses Enter.
  void EnterPassword(const std::wstring& password, bool typed = true);
  // The next message box the decryptor shows (other windows, such as the
  // progress window, are passed over), or a box with no caption
  // when none appears in time.
  orxtest::MessageBoxInfo NextMessage(HWND* box = nullptr, DWORD timeoutMs = 20000);
  // Reads the next message box and presses `button` on it.
  orxtest::MessageBoxInfo Answer(int button, DWORD timeoutMs = 20000);
  // Waits for the decryptor to end; its exit code or -1.
  int WaitForEnd(DWORD timeoutMs = 20000);

 private:
  void Adopt(HWND dialog);

  HWND dialog_ = nullptr;
  DWORD pid_ = 0;
  HANDLE process_ = nullptr;
  std::vector<HWND> seen_;
};

// Waits until no cleanup tool runs any more (each lives about 5.5 s), so
// that the next archive can replace the tool's file.
bool WaitForCleanupTools(DWORD timeoutMs = 20000);
// Number of running processes with this image name.
int CountProcesses(const wchar_t* imageName);
// Command lines of the running processes with this image name; those whose
// command line holds `endIfHolding`, when given, are ended too.
std::vector<std::wstring> CommandLinesOf(const wchar_t* imageName,
                                         const wchar_t* endIfHolding = nullptr);

}  // namespace recipient
