#include "recipient.h"

#include <tlhelp32.h>

namespace recipient {

std::vector<std::wstring> PayloadFiles() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  std::vector<std::wstring> found;
  for (const std::wstring& folder :
       {orxtest::WindowsFolder() + L"\\temp", std::wstring(temp) + L"Orx_Decrypt"}) {
    for (const std::wstring& name : orxtest::FileNames(folder, L"Orx_Decrypt_*.tmp")) {
      found.push_back(folder + L"\\" + name);
    }
  }
  return found;
}
std::wstring CleanupTool() { return orxtest::WindowsFolder() + L"\\Orx_DelTool.exe"; }

std::wstring CryptoLibraryFound() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  for (const std::wstring& folder : {std::wstring(system), orxtest::WindowsFolder(),
                                     orxtest::WindowsFolder() + L"\\syswow64",
                                     orxtest::ModuleFolder()}) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\libcrypto*.dll").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      return folder + L"\\" + found.cFileName;
    }
  }
  return L"";
}

int RunOrx(const std::wstring& arguments, const std::wstring& passwordFile) {
  std::wstring cmd = L"\"" + orxtest::ModuleFolder() + L"\\orx.exe\" " + arguments;
  if (!passwordFile.empty()) cmd += L" --password-file \"" + passwordFile + L"\"";
  orxtest::Process p = orxtest::Start(cmd);
  int code = orxtest::WaitExit(p, 120000);
  orxtest::Close(p);
  return code;
}

ArchiveRun::ArchiveRun(const std::wstring& archive, const std::wstring& folder) {
  orxtest::Process stub = orxtest::Start(L"\"" + archive + L"\"", folder);
  int code = orxtest::WaitExit(stub, 30000);
  orxtest::Close(stub);
  if (code != 0) return;
  HWND dialog = orxtest::WaitForWindow(kCaption, L"#32770", 20000);
  if (dialog) Adopt(dialog);
}

ArchiveRun::ArchiveRun(HWND dialog) {
  if (dialog) Adopt(dialog);
}

void ArchiveRun::Adopt(HWND dialog) {
  GetWindowThreadProcessId(dialog, &pid_);
  process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid_);
  dialog_ = dialog;
  seen_.push_back(dialog);
}

ArchiveRun::~ArchiveRun() {
  if (process_) {
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
      // A test that failed half-way: do not leave a window behind.
      HANDLE kill = OpenProcess(PROCESS_TERMINATE, FALSE, pid_);
      if (kill) {
        TerminateProcess(kill, 255);
        CloseHandle(kill);
      }
    }
    CloseHandle(process_);
  }
}

void ArchiveRun::EnterPassword(const std::wstring& password, bool typed) {
  HWND box = passwordBox();
  if (typed) orxtest::TypeText(box, password);
  else orxtest::SetText(box, password);
  orxtest::PressKey(box, VK_RETURN);
}

orxtest::MessageBoxInfo ArchiveRun::NextMessage(HWND* found, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    for (HWND w : orxtest::VisibleWindowsOf(pid_)) {
      bool old = false;
      for (HWND s : seen_) old = old || s == w;
      if (old || orxtest::ClassName(w) != L"#32770") continue;
      // A message box has its text as control 0xFFFF; the progress window
      // of a long decryption is a dialog too, and is not one.
      if (!GetDlgItem(w, 0xFFFF)) continue;
      seen_.push_back(w);
      if (found) *found = w;
      return orxtest::ReadMessageBox(w);
    }
    Sleep(50);
  }
  if (found) *found = nullptr;
  return {};
}

orxtest::MessageBoxInfo ArchiveRun::Answer(int button, DWORD timeoutMs) {
  HWND box = nullptr;
  orxtest::MessageBoxInfo info = NextMessage(&box, timeoutMs);
  if (box) orxtest::PressButton(box, button);
  return info;
}

int ArchiveRun::WaitForEnd(DWORD timeoutMs) {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return static_cast<int>(code);
}

int CountProcesses(const wchar_t* imageName) {
  int count = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
    if (lstrcmpiW(entry.szExeFile, imageName) == 0) ++count;
  }
  CloseHandle(snap);
  return count;
}

namespace {

// Another process's command line, read from its process parameters through
// its process environment block (x86-64 layout; the tests run 64-bit).
bool ReadCommandLine(HANDLE process, std::wstring& line) {
  using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static Query query = reinterpret_cast<Query>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess"));
  struct BasicInformation {
    LONG_PTR exitStatus;
    void* peb;
    ULONG_PTR affinity, priority, pid, parentPid;
  } basic = {};
  ULONG got = 0;
  if (!query || query(process, 0, &basic, sizeof(basic), &got) != 0 || !basic.peb) return false;
  SIZE_T read = 0;
  void* parameters = nullptr;  // PEB.ProcessParameters at 0x20
  if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + 0x20, &parameters,
                         sizeof(parameters), &read) || !parameters)
    return false;
  struct { USHORT length, capacity; ULONG pad; wchar_t* text; } commandLine = {};
  if (!ReadProcessMemory(process, static_cast<char*>(parameters) + 0x70, &commandLine,
                         sizeof(commandLine), &read) || !commandLine.text)
    return false;
  line.assign(commandLine.length / sizeof(wchar_t), L'\0');
  return ReadProcessMemory(process, commandLine.text, &line[0], commandLine.length, &read) != 0;
}

}  // namespace

std::vector<std::wstring> CommandLinesOf(const wchar_t* imageName, const wchar_t* endIfHolding) {
  std::vector<std::wstring> lines;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return lines;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
    if (lstrcmpiW(entry.szExeFile, imageName) != 0) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE,
                                 FALSE, entry.th32ProcessID);
    if (!process) continue;
    std::wstring line;
    if (ReadCommandLine(process, line)) lines.push_back(line);
    if (endIfHolding && line.find(endIfHolding) != std::wstring::npos) TerminateProcess(process, 0);
    CloseHandle(process);
  }
  CloseHandle(snap);
  return lines;
}

bool WaitForCleanupTools(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (CountProcesses(L"Orx_DelTool.exe") == 0) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace recipient
