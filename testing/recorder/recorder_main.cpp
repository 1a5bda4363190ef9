// A stand-in program for tests: records how it was started and ends.
//
// Appends one line to the file named by the environment variable
// ORX_RECORDER_LOG (or recorder.log in its current folder), in UTF-8:
//   <command line> TAB <current folder> TAB <show-window state> CR LF
// Tests put it where the system under test starts a program (a slot of an
// archive, the cleanup tool's place) and read the log afterwards. Tiny, so
// that it fits every slot. With ORX_RECORDER_STAY_MS set (decimal) it stays
// that long after recording, standing in for a program that runs a while.
#include <windows.h>

#include "orx/stack_guard.h"

namespace {

wchar_t g_line[8192];
char g_utf8[3 * 8192];

void Append(wchar_t* buffer, DWORD capacity, const wchar_t* tail) {
  DWORD used = 0;
  while (buffer[used]) ++used;
  while (*tail && used + 1 < capacity) buffer[used++] = *tail++;
  buffer[used] = 0;
}

void Record() {
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  GetStartupInfoW(&si);
  wchar_t show[8] = {};
  WORD state = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : 0xFFFF;
  int i = 0;
  if (state == 0xFFFF) {
    show[i++] = L'-';
  } else {
    wchar_t digits[6];
    int n = 0;
    do { digits[n++] = static_cast<wchar_t>(L'0' + state % 10); state /= 10; } while (state);
    while (n) show[i++] = digits[--n];
  }
  Append(g_line, 8192, GetCommandLineW());
  Append(g_line, 8192, L"\t");
  Append(g_line, 8192, folder);
  Append(g_line, 8192, L"\t");
  Append(g_line, 8192, show);
  Append(g_line, 8192, L"\r\n");
  int bytes = WideCharToMultiByte(CP_UTF8, 0, g_line, -1, g_utf8, sizeof(g_utf8), nullptr, nullptr);

  wchar_t logPath[MAX_PATH] = L"recorder.log";
  GetEnvironmentVariableW(L"ORX_RECORDER_LOG", logPath, MAX_PATH);
  HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log != INVALID_HANDLE_VALUE && bytes > 0) {
    DWORD written = 0;
    WriteFile(log, g_utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(log);
  }
}

}  // namespace

ORX_PROGRAM_ENTRY(RecorderEntry) {
  orx::InitStackGuard();
  Record();
  wchar_t stay[12] = {};
  DWORD ms = 0;
  GetEnvironmentVariableW(L"ORX_RECORDER_STAY_MS", stay, 12);
  for (const wchar_t* digit = stay; *digit >= L'0' && *digit <= L'9'; ++digit) {
    ms = ms * 10 + (*digit - L'0');
  }
  if (ms) Sleep(ms);
  ExitProcess(0);
}
