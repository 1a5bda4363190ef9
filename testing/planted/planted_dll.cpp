// A DLL an attacker would plant beside a program: when any process loads
// it, it appends "<its own path> TAB <the process's image>" CR LF to the
// file named by ORX_PLANT_LOG. Planting tests copy it under the names a
// program might look for (libcrypto-3.dll, bcrypt.dll, MirwellUI.dll) and
// show from the log that the program under test never loaded it.
#include <windows.h>

namespace {

void Record(HMODULE self) {
  wchar_t log[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"ORX_PLANT_LOG", log, MAX_PATH)) return;
  wchar_t line[2 * MAX_PATH + 4] = {};
  DWORD n = GetModuleFileNameW(self, line, MAX_PATH);
  line[n++] = L'\t';
  n += GetModuleFileNameW(nullptr, line + n, MAX_PATH);
  line[n++] = L'\r';
  line[n++] = L'\n';
  char utf8[6 * MAX_PATH + 8];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(n), utf8, sizeof utf8,
                                  nullptr, nullptr);
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, utf8, static_cast<DWORD>(bytes), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Record(self);
  return TRUE;
}
